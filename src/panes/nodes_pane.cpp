// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/nodes_pane.h"

#include "model/project_session.h"
#include "panes/pane_icons.h"
#include "panes/pane_style.h"

#include <QAbstractTableModel>
#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

// Selected rows: the edit accent at 30 %.
const QColor selectedRowBackground = [] {
    QColor color = paneColor::editAccent;
    color.setAlphaF(0.3f);
    return color;
}();

constexpr int columnWidths[] = {100, 80, 100, 28, 28}; // by NodesPane::Column
constexpr int rowHeight = 24;

bool isFieldColumn(int column)
{
    return column >= NodesPane::nameColumn && column <= NodesPane::ipColumn;
}

// A 20 by 20 button showing a chevron ("\u203A" points right, "\u2039" left).
QToolButton* chevronButton(const QString& chevron)
{
    auto* button = new QToolButton;
    button->setObjectName(u"nodesChevron"_s);
    button->setText(chevron);
    button->setFixedSize(20, 20);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QPushButton* flatButton(const QString& text, const QString& objectName)
{
    auto* button = new QPushButton(text);
    button->setObjectName(objectName);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QPixmap swatch(const Rgb& color)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(rgbColor(color.red, color.green, color.blue));
    painter.drawEllipse(QRectF(1, 1, 10, 10));
    return pixmap;
}

} // namespace

// The rows of the table: the sorted nodes, and the two row buttons as cells. The three field
// cells are editable; an edit is written through commitNodeEdit.
class NodesTableModel final : public QAbstractTableModel {
public:
    NodesTableModel(ProjectSession* session, QObject* parent)
        : QAbstractTableModel(parent), m_session(session)
    {
    }

    void setRows(QList<NodeData> rows)
    {
        beginResetModel();
        m_rows = std::move(rows);
        m_rowOfId.clear();
        m_rowOfId.reserve(m_rows.size());
        for (qsizetype i = 0; i < m_rows.size(); ++i)
            m_rowOfId.insert(m_rows.at(i).id, static_cast<int>(i));
        endResetModel();
    }

    const QList<NodeData>& rows() const { return m_rows; }
    int rowOf(qint64 id) const { return m_rowOfId.value(id, -1); }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : NodesPane::columnCount;
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        return isFieldColumn(index.column()) ? flags | Qt::ItemIsEditable : flags;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (role != Qt::EditRole || !index.isValid() || !isFieldColumn(index.column()))
            return false;
        return commitNodeEdit(*m_session, m_rows.at(index.row()).id,
                              static_cast<NodeField>(index.column()), value.toString());
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows.size())
            return {};
        const int column = index.column();
        const bool isButton = !isFieldColumn(column);
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            if (column == NodesPane::deleteColumn)
                return u"\U0001F5D1"_s; // wastebasket
            if (column == NodesPane::duplicateColumn)
                return u"\U0001F4CB"_s; // clipboard
            return fieldValue(m_rows.at(index.row()), static_cast<NodeField>(column));
        case Qt::ToolTipRole:
            if (column == NodesPane::deleteColumn)
                return NodesPane::tr("Delete node");
            if (column == NodesPane::duplicateColumn)
                return NodesPane::tr("Duplicate node");
            return {};
        case Qt::ForegroundRole:
            return QColor(Qt::white);
        case Qt::FontRole:
            if (isButton) {
                QFont font;
                font.setPixelSize(12);
                return font;
            }
            return {};
        case Qt::TextAlignmentRole:
            return isButton ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }

private:
    ProjectSession* m_session;
    QList<NodeData> m_rows;
    QHash<qint64, int> m_rowOfId;
};

// Paints selected rows with the accent at 30 % (the text stays white) and edits a field cell
// in a line editor. Return, or leaving the field by a click or Tab, commits; Escape cancels;
// other ways of losing the focus (another window in front, a popup) leave the edit open. The
// pane decides what finishing means (`onFinish`); finish() then hands the editor back to the
// view, with its text written through the model when committing.
class CellEditorDelegate final : public QStyledItemDelegate {
public:
    std::function<void(bool commit)> onFinish;
    std::function<void(const QString& text)> onTextEdited;

    using QStyledItemDelegate::QStyledItemDelegate;

    // qobject_cast, not a plain cast: the field may be half destroyed when its last events
    // arrive, and then it is no longer a QLineEdit.
    QLineEdit* editor() const { return qobject_cast<QLineEdit*>(m_editor.data()); }

    void finish(bool commit)
    {
        if (QLineEdit* field = editor(); field && commit)
            emit commitData(field); // the write may already take the field away
        if (QLineEdit* field = editor())
            emit closeEditor(field);
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&,
                          const QModelIndex&) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setObjectName(u"cellEditor"_s);
        // A cell holds one line, whatever is pasted into it.
        connect(editor, &QLineEdit::textEdited, editor, [this, editor](const QString& text) {
            const QString line = singleLine(text);
            if (line != text) {
                const int cursor = editor->cursorPosition();
                editor->setText(line);
                editor->setCursorPosition(std::min(cursor, int(line.size())));
            }
            if (onTextEdited)
                onTextEdited(line);
        });
        m_editor = editor;
        return editor;
    }

    void destroyEditor(QWidget* editor, const QModelIndex& index) const override
    {
        if (editor == m_editor)
            m_editor = nullptr;
        QStyledItemDelegate::destroyEditor(editor, index);
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex&) const override
    {
        editor->setGeometry(option.rect);
    }

    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (object != m_editor)
            return false;
        switch (event->type()) {
        case QEvent::ShortcutOverride: // Return and Escape belong to the field, not to shortcuts
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Escape && key != Qt::Key_Return && key != Qt::Key_Enter)
                return false;
            event->accept();
            if (event->type() == QEvent::KeyPress)
                onFinish(key != Qt::Key_Escape);
            return true;
        }
        case QEvent::FocusOut: {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                reason == Qt::BacktabFocusReason)
                onFinish(true);
            return false;
        }
        default:
            return false;
        }
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->state & QStyle::State_Selected) {
            option->backgroundBrush = selectedRowBackground;
            option->state &= ~QStyle::State_Selected;
        }
    }

private:
    // Held as a QObject so comparing against it never casts an object being destroyed.
    mutable QPointer<QObject> m_editor;
};

// Forwards clicks to the pane: a press on a field selects, a double click edits the cell of its
// first click, a click (press and release on the same cell) on a row button deletes or
// duplicates.
class NodesTableView final : public QTableView {
public:
    std::function<void(const QModelIndex&, Qt::KeyboardModifiers)> onPress;
    std::function<void(const QModelIndex&)> onDoubleClick;
    std::function<void(const QModelIndex&)> onButtonClick;

    explicit NodesTableView(QWidget* parent) : QTableView(parent) {}

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        const QModelIndex index = indexAt(event->position().toPoint());
        m_pressed = QPersistentModelIndex(index);
        m_firstClick = m_pressed;
        if (event->button() == Qt::LeftButton && isFieldColumn(index.column()))
            onPress(index, event->modifiers());
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && index.isValid() && index == m_pressed &&
            !isFieldColumn(index.column()))
            onButtonClick(index);
        m_pressed = QPersistentModelIndex();
        event->accept();
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        // The first click selected its row and may have started the animated scroll to it, so
        // another row can lie under the pointer by now: the edit belongs to the first click.
        const QModelIndex index = m_firstClick.isValid() ? QModelIndex(m_firstClick)
                                                         : indexAt(event->position().toPoint());
        m_firstClick = QPersistentModelIndex();
        m_pressed = QPersistentModelIndex(index);
        if (event->button() == Qt::LeftButton && isFieldColumn(index.column()))
            onDoubleClick(index);
        event->accept();
    }

private:
    QPersistentModelIndex m_pressed;
    QPersistentModelIndex m_firstClick; // the last press, until a double click uses it
};

NodesPane::NodesPane(ProjectSession* session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(u"nodesPane"_s);
    setAttribute(Qt::WA_StyledBackground);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildExpanded();
    buildCollapsed();
    layout->addWidget(m_expanded);
    layout->addWidget(m_collapsedStrip);
    m_collapsedStrip->hide();
    setFixedWidth(expandedWidth);

    connect(m_session->document(), &ProjectDocument::changed, this,
            &NodesPane::refreshNodesIfChanged);
    connect(m_session, &ProjectSession::selectionChanged, this, &NodesPane::refreshSelection);
    connect(m_session, &ProjectSession::typesChanged, this, &NodesPane::rebuildTypeMenu);
    refreshNodes();
    refreshSelection();
    rebuildTypeMenu();
}

void NodesPane::buildExpanded()
{
    m_expanded = new QWidget(this);
    auto* column = new QVBoxLayout(m_expanded);
    column->setContentsMargins(10, 10, 10, 10);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    m_title = new QLabel(tr("Nodes"));
    header->addWidget(m_title);
    header->addStretch();
    m_collapseButton = chevronButton(u"\u203A"_s);
    m_collapseButton->setToolTip(tr("Collapse Nodes pane"));
    connect(m_collapseButton, &QToolButton::clicked, this, [this] { setNodesPaneCollapsed(true); });
    header->addWidget(m_collapseButton);
    column->addLayout(header);

    m_bulkRow = new QWidget;
    auto* bulk = new QHBoxLayout(m_bulkRow);
    bulk->setContentsMargins(0, 0, 0, 0);
    m_bulkLabel = new QLabel;
    m_bulkLabel->setObjectName(u"bulkTypeLabel"_s);
    bulk->addWidget(m_bulkLabel);
    bulk->addStretch();
    m_setTypeButton = new QToolButton;
    m_setTypeButton->setObjectName(u"setTypeButton"_s);
    m_setTypeButton->setText(tr("Set Type"));
    m_setTypeButton->setIcon(symbolIcon(PaneSymbol::tag, Qt::white, 11));
    m_setTypeButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_setTypeButton->setPopupMode(QToolButton::InstantPopup);
    m_setTypeMenu = new QMenu(m_setTypeButton);
    m_setTypeButton->setMenu(m_setTypeMenu);
    connect(m_setTypeMenu, &QMenu::aboutToShow, this, &NodesPane::rebuildTypeMenu);
    bulk->addWidget(m_setTypeButton);
    m_bulkRow->hide();
    column->addWidget(m_bulkRow);

    auto* buttons = new QHBoxLayout;
    m_exportButton = flatButton(tr("CSV"), u"exportNodes"_s);
    m_exportButton->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    m_exportButton->setToolTip(tr("Export nodes to CSV file"));
    m_exportButton->setGraphicsEffect(new QGraphicsOpacityEffect(m_exportButton));
    connect(m_exportButton, &QPushButton::clicked, this, &NodesPane::exportRequested);
    m_importButton = flatButton(tr("CSV"), u"importNodes"_s);
    m_importButton->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    m_importButton->setToolTip(tr("Import nodes from CSV file"));
    connect(m_importButton, &QPushButton::clicked, this, &NodesPane::importRequested);
    m_addButton = flatButton(tr("+ Add Node"), u"addNode"_s);
    connect(m_addButton, &QPushButton::clicked, this, [this] { addNode(*m_session); });
    buttons->addWidget(m_exportButton);
    buttons->addWidget(m_importButton);
    buttons->addWidget(m_addButton);
    buttons->addStretch();
    column->addLayout(buttons);

    auto* sortRow = new QHBoxLayout;
    sortRow->setSpacing(0);
    const std::pair<QString, NodeField> sortKeys[] = {
        {tr("Name"), NodeField::name}, {tr("Type"), NodeField::type}, {tr("IP"), NodeField::ip}};
    for (const auto& [label, key] : sortKeys) {
        auto* button = new QPushButton(label);
        button->setObjectName(u"sortButton"_s);
        button->setFixedWidth(columnWidths[columnOf(key)]);
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QPushButton::clicked, this, [this, field = key] { toggleSort(field); });
        sortRow->addWidget(button);
        m_sortButtons.append(button);
    }
    sortRow->addStretch();
    column->addLayout(sortRow);

    m_model = new NodesTableModel(m_session, this);
    m_table = new NodesTableView(m_expanded);
    m_table->setObjectName(u"nodesTable"_s);
    m_table->setModel(m_model);
    m_delegate = new CellEditorDelegate(m_table);
    m_delegate->onFinish = [this](bool commit) { finishEditing(commit); };
    m_delegate->onTextEdited = [this](const QString& text) { m_editingValue = text; };
    m_table->setItemDelegate(m_delegate);
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    for (int c = 0; c < columnCount; ++c)
        m_table->setColumnWidth(c, columnWidths[c]);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->setTabKeyNavigation(false); // Tab leaves the field (and commits it)
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setFrameShape(QFrame::NoFrame);
    // The delegate paints selected rows; the view's own highlight under them stays clear.
    QPalette palette = m_table->palette();
    palette.setBrush(QPalette::Highlight, Qt::transparent);
    m_table->setPalette(palette);
    m_table->onPress = [this](const QModelIndex& index, Qt::KeyboardModifiers modifiers) {
        selectRow(m_model->rows().at(index.row()).id, modifiers);
    };
    m_table->onDoubleClick = [this](const QModelIndex& index) {
        startEditing(m_model->rows().at(index.row()).id, static_cast<NodeField>(index.column()));
    };
    m_table->onButtonClick = [this](const QModelIndex& index) {
        const qint64 id = m_model->rows().at(index.row()).id;
        if (index.column() == deleteColumn)
            m_session->deleteNode(id);
        else
            m_session->duplicateNode(id);
    };
    column->addWidget(m_table);
    column->addStretch();

    m_scrollAnimation = new QPropertyAnimation(m_table->verticalScrollBar(), "value", this);
    m_scrollAnimation->setDuration(scrollDurationMs);
    m_scrollAnimation->setEasingCurve(QEasingCurve::InOutQuad);

    setLiveMode(false);
    refreshSortButtons();
}

void NodesPane::buildCollapsed()
{
    m_collapsedStrip = new QWidget(this);
    m_collapsedStrip->setFixedWidth(collapsedWidth);
    auto* column = new QVBoxLayout(m_collapsedStrip);
    column->setContentsMargins(0, 10, 0, 10);
    m_expandButton = chevronButton(u"\u2039"_s);
    m_expandButton->setToolTip(tr("Expand Nodes pane"));
    connect(m_expandButton, &QToolButton::clicked, this, [this] { setNodesPaneCollapsed(false); });
    column->addWidget(m_expandButton, 0, Qt::AlignHCenter);
    column->addStretch();
}

void NodesPane::setNodesPaneCollapsed(bool collapsed)
{
    if (collapsed == m_collapsed)
        return;
    m_collapsed = collapsed;
    m_expanded->setVisible(!collapsed);
    m_collapsedStrip->setVisible(collapsed);
    setFixedWidth(collapsed ? collapsedWidth : expandedWidth);
    emit nodesPaneCollapsedChanged(collapsed);
}

void NodesPane::setLiveMode(bool live)
{
    styleLabel(m_title, accentColor(live ? AppMode::live : AppMode::edit), 14, 600);
}

void NodesPane::toggleSort(NodeField key)
{
    if (key == m_sortColumn) {
        m_sortAscending = !m_sortAscending;
    } else {
        m_sortColumn = key;
        m_sortAscending = true;
    }
    refreshSortButtons();
    refreshNodes();
}

const QList<NodeData>& NodesPane::displayedNodes() const
{
    return m_model->rows();
}

void NodesPane::selectRow(qint64 nodeId, Qt::KeyboardModifiers modifiers)
{
    const int row = m_model->rowOf(nodeId);
    if (row < 0)
        return;
    // Shift is tested first: it adds; otherwise Ctrl toggles; otherwise the row alone.
    const QItemSelectionModel::SelectionFlags command =
        (modifiers & Qt::ShiftModifier)     ? QItemSelectionModel::Select
        : (modifiers & Qt::ControlModifier) ? QItemSelectionModel::Toggle
                                            : QItemSelectionModel::ClearAndSelect;
    QItemSelectionModel* rows = m_table->selectionModel();
    rows->select(m_model->index(row, 0), command | QItemSelectionModel::Rows);
    // The shared selection follows the table's; ids the table does not list stay unless the
    // row replaces the selection.
    QSet<qint64> selection;
    if (command != QItemSelectionModel::ClearAndSelect) {
        for (qint64 id : m_session->selectedNodes())
            if (m_model->rowOf(id) < 0)
                selection.insert(id);
    }
    const QModelIndexList selected = rows->selectedRows();
    for (const QModelIndex& index : selected)
        selection.insert(m_model->rows().at(index.row()).id);
    m_session->setSelectedNodes(std::move(selection));
}

void NodesPane::startEditing(qint64 nodeId, NodeField field)
{
    const int row = m_model->rowOf(nodeId);
    if (row < 0)
        return;
    m_delegate->finish(false); // the edit it replaces is dropped
    m_editingNodeId = nodeId;
    m_editingField = field;
    m_editingValue = singleLine(fieldValue(m_model->rows().at(row), field));
    m_session->setSelectedNodes({nodeId});
    openEditor();
    if (QLineEdit* line = editor())
        line->selectAll();
}

void NodesPane::openEditor(int cursor)
{
    if (!m_editingNodeId || !m_editingField)
        return;
    const int row = m_model->rowOf(*m_editingNodeId);
    if (row < 0)
        return;
    m_table->edit(m_model->index(row, columnOf(*m_editingField)));
    if (QLineEdit* line = editor()) {
        line->setText(m_editingValue);
        if (cursor >= 0)
            line->setCursorPosition(cursor);
    }
}

void NodesPane::commitEdit()
{
    finishEditing(true);
}

void NodesPane::finishEditing(bool commit)
{
    if (!m_editingNodeId)
        return;
    // Cleared before the write, so that the refresh the write causes opens no field again.
    m_editingNodeId.reset();
    m_editingField.reset();
    m_editingValue.clear();
    m_delegate->finish(commit);
}

QTableView* NodesPane::tableView() const
{
    return m_table;
}

QLineEdit* NodesPane::editor() const
{
    return m_editingNodeId ? m_delegate->editor() : nullptr;
}

QPushButton* NodesPane::sortButton(NodeField key) const
{
    return m_sortButtons.at(columnOf(key));
}

bool NodesPane::isBulkTypeRowShown() const
{
    return !m_bulkRow->isHidden();
}

QRect NodesPane::cellRect(qint64 nodeId, int column) const
{
    const int row = m_model->rowOf(nodeId);
    if (row < 0 || column < 0 || column >= columnCount)
        return {};
    return m_table->visualRect(m_model->index(row, column));
}

qint64 NodesPane::nodeIdAtRow(int row) const
{
    return m_model->rows().value(row).id;
}

void NodesPane::refreshNodesIfChanged()
{
    // The pane keeps a reference to the node list it shows, so any write to the nodes detaches
    // the project's list: the same data pointer means the nodes are unchanged (a pan, a map
    // move or a colour change), and the 10,000-row re-sort is skipped.
    const QList<NodeData>& nodes = m_session->project().nodes;
    if (nodes.constData() == m_shownNodes.constData() && nodes.size() == m_shownNodes.size())
        return;
    refreshNodes();
}

void NodesPane::refreshNodes()
{
    // New rows take the field away; it comes back in the edited node's new row, as typed.
    int cursor = -1;
    if (QLineEdit* line = editor()) {
        m_editingValue = line->text();
        cursor = line->cursorPosition();
    }
    QScrollBar* bar = m_table->verticalScrollBar();
    const int scroll = bar->value();
    m_shownNodes = m_session->project().nodes;
    m_model->setRows(sortedNodes(m_shownNodes, m_sortColumn, m_sortAscending));
    const int rows = m_model->rowCount();
    m_table->setFixedHeight(std::clamp(rows * rowHeight, rowHeight, maxListHeight));
    // Lay the rows out now rather than later, so that the scroll range (and any scroll to a new
    // row that follows) already counts the new rows.
    m_table->doItemsLayout();
    bar->setValue(scroll);
    showSelectionInTable();

    const bool hasNodes = rows > 0;
    m_exportButton->setEnabled(hasNodes);
    static_cast<QGraphicsOpacityEffect*>(m_exportButton->graphicsEffect())
        ->setOpacity(hasNodes ? 1.0 : 0.5);

    openEditor(cursor);
    if (m_pendingScrollId) {
        const int row = m_model->rowOf(*m_pendingScrollId);
        if (row >= 0) {
            m_pendingScrollId.reset();
            scrollToRow(row);
        }
    }
}

void NodesPane::showSelectionInTable()
{
    QList<int> rows;
    for (qint64 id : m_session->selectedNodes()) {
        if (const int row = m_model->rowOf(id); row >= 0)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype end = i;
        while (end + 1 < rows.size() && rows.at(end + 1) == rows.at(end) + 1)
            ++end;
        selection.select(m_model->index(rows.at(i), 0),
                         m_model->index(rows.at(end), columnCount - 1));
        i = end + 1;
    }
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void NodesPane::refreshSelection()
{
    const QSet<qint64>& selection = m_session->selectedNodes();
    showSelectionInTable();

    const qsizetype count = selection.size();
    m_bulkRow->setVisible(count >= 2);
    m_bulkLabel->setText(tr("Set type for %1 selected nodes").arg(count));

    // Centre one of the newly selected nodes: the one listed highest.
    int target = -1;
    std::optional<qint64> unlisted;
    for (qint64 id : selection) {
        if (m_shownSelection.contains(id))
            continue;
        const int row = m_model->rowOf(id);
        if (row < 0)
            unlisted = id;
        else if (target < 0 || row < target)
            target = row;
    }
    m_shownSelection = selection;
    if (target >= 0)
        scrollToRow(target);
    else if (unlisted)
        m_pendingScrollId = unlisted; // listed once the project change arrives
}

void NodesPane::refreshSortButtons()
{
    // The label of the sort column is green, the others blue.
    for (int c = 0; c < m_sortButtons.size(); ++c)
        setLookState(m_sortButtons.at(c), "sorted", c == columnOf(m_sortColumn));
}

void NodesPane::rebuildTypeMenu()
{
    m_setTypeMenu->clear();
    const QMap<QString, Rgb>& colors = m_session->typeColorMap();
    for (auto it = colors.cbegin(); it != colors.cend(); ++it) {
        const QString& type = it.key();
        // "&&" shows one "&" instead of marking a shortcut key ("R&D" is no "RD").
        QAction* action = m_setTypeMenu->addAction(QIcon(swatch(it.value())),
                                                   QString(type).replace(u'&', u"&&"_s));
        connect(action, &QAction::triggered, this,
                [this, type] { m_session->applyTypeToSelection(type); });
    }
    m_setTypeMenu->addSeparator();
    // The pencil in the menu's own text colour, which is not the panes' white.
    const QColor ink = m_setTypeMenu->palette().color(QPalette::WindowText);
    QAction* custom =
        m_setTypeMenu->addAction(symbolIcon(PaneSymbol::pencil, ink, 11), tr("Custom..."));
    connect(custom, &QAction::triggered, this, &NodesPane::customTypeRequested);
}

void NodesPane::scrollToRow(int row)
{
    QScrollBar* bar = m_table->verticalScrollBar();
    m_scrollAnimation->stop();
    const int current = bar->value();
    m_table->scrollTo(m_model->index(row, 0), QAbstractItemView::PositionAtCenter);
    const int target = bar->value();
    if (target == current)
        return;
    bar->setValue(current);
    m_scrollAnimation->setStartValue(current);
    m_scrollAnimation->setEndValue(target);
    m_scrollAnimation->start();
}

} // namespace velmora
