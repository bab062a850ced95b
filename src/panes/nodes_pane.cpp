// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/nodes_pane.h"

#include "model/project_session.h"
#include "panes/pane_icons.h"

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
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <numeric>

using namespace Qt::StringLiterals;

namespace velmora {

namespace {

QColor colorOf(double r, double g, double b, double a = 1.0)
{
    return QColor::fromRgbF(static_cast<float>(r), static_cast<float>(g), static_cast<float>(b),
                            static_cast<float>(a));
}

QString css(const QColor& color)
{
    return u"rgba(%1,%2,%3,%4)"_s.arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF());
}

const QColor editAccent = colorOf(0.29, 0.56, 0.89);
const QColor liveAccent = colorOf(0.29, 0.87, 0.5);
const QColor selectedRowBackground = colorOf(0.29, 0.56, 0.89, 0.3);
const QColor paneBackground = colorOf(0.11, 0.11, 0.12);

constexpr int nameColumnWidth = 100;
constexpr int typeColumnWidth = 80;
constexpr int ipColumnWidth = 100;
constexpr int buttonColumnWidth = 28;
constexpr int rowHeight = 24;

enum Column { nameColumn, typeColumn, ipColumn, deleteColumn, duplicateColumn, columnCount };

const QString deleteLabel = u"\U0001F5D1"_s;
const QString duplicateLabel = u"\U0001F4CB"_s;
const QString fieldDelete = u"delete"_s;
const QString fieldDuplicate = u"duplicate"_s;

int columnOfField(const QString& field)
{
    if (field == sortKeyName)
        return nameColumn;
    if (field == sortKeyType)
        return typeColumn;
    if (field == sortKeyIp)
        return ipColumn;
    if (field == fieldDelete)
        return deleteColumn;
    if (field == fieldDuplicate)
        return duplicateColumn;
    return -1;
}

QString fieldOfColumn(int column)
{
    switch (column) {
    case nameColumn:
        return sortKeyName;
    case typeColumn:
        return sortKeyType;
    case ipColumn:
        return sortKeyIp;
    default:
        return {};
    }
}

QString fieldValue(const NodeData& node, const QString& field)
{
    if (field == sortKeyName)
        return node.name;
    if (field == sortKeyType)
        return node.type;
    if (field == sortKeyIp)
        return node.ip;
    return {};
}

// A whole decimal number with an optional sign, as a 64-bit integer; nothing otherwise.
std::optional<qint64> parseWholeNumber(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        i = 1;
    }
    if (i >= text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        // Accumulate negatively so that the smallest 64-bit value fits too.
        if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == std::numeric_limits<qint64>::min())
            return std::nullopt;
        value = -value;
    }
    return value;
}

QPushButton* flatButton(const QString& text, const QColor& background, const QColor& foreground,
                        int fontSize = 11)
{
    auto* button = new QPushButton(text);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(u"QPushButton { background: %1; color: %2; border: none;"
                          " border-radius: 4px; padding: 4px 8px; font-size: %3px; }"_s
                              .arg(css(background), css(foreground))
                              .arg(fontSize));
    return button;
}

// A 20 by 20 button showing a chevron ("\u203A" points right, "\u2039" left).
QToolButton* chevronButton(const QString& chevron)
{
    auto* button = new QToolButton;
    button->setText(chevron);
    button->setFixedSize(20, 20);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(u"QToolButton { color: white; font-size: 18px; border: none;"
                          " background: transparent; }"_s);
    return button;
}

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case 0x0085: // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

// A cell holds one line: every line break (CR LF counting as one) becomes a space.
QString singleLine(const QString& text)
{
    if (std::none_of(text.cbegin(), text.cend(), isLineBreak))
        return text;
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
            continue;
        line.append(isLineBreak(c) ? QChar(u' ') : c);
    }
    return line;
}

QPixmap swatch(const Rgb& color)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colorOf(color.red, color.green, color.blue));
    painter.drawEllipse(QRectF(1, 1, 10, 10));
    return pixmap;
}

} // namespace

QList<qint64> addressSortKey(const QString& address)
{
    QList<qint64> key;
    const QList<QStringView> pieces = QStringView(address).split(u'.', Qt::SkipEmptyParts);
    for (QStringView piece : pieces) {
        if (const std::optional<qint64> number = parseWholeNumber(piece))
            key.append(*number);
    }
    return key;
}

QList<NodeData> sortedNodes(const QList<NodeData>& nodes, const QString& sortColumn, bool ascending)
{
    const bool byAddress = sortColumn == sortKeyIp;
    if (!byAddress && sortColumn != sortKeyName && sortColumn != sortKeyType)
        return nodes;

    // Keys are computed once per node, not once per comparison.
    QList<QString> textKeys;
    QList<QList<qint64>> addressKeys;
    if (byAddress) {
        addressKeys.reserve(nodes.size());
        for (const NodeData& node : nodes)
            addressKeys.append(addressSortKey(node.ip));
    } else {
        textKeys.reserve(nodes.size());
        for (const NodeData& node : nodes)
            textKeys.append((sortColumn == sortKeyName ? node.name : node.type).toLower());
    }
    const auto less = [&](qsizetype a, qsizetype b) {
        if (byAddress) {
            const QList<qint64>& x = addressKeys.at(a);
            const QList<qint64>& y = addressKeys.at(b);
            return std::lexicographical_compare(x.cbegin(), x.cend(), y.cbegin(), y.cend());
        }
        return QString::compare(textKeys.at(a), textKeys.at(b), Qt::CaseSensitive) < 0;
    };

    QList<qsizetype> order(nodes.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    if (ascending)
        std::stable_sort(order.begin(), order.end(), less);
    else
        std::stable_sort(order.begin(), order.end(),
                         [&](qsizetype a, qsizetype b) { return less(b, a); });

    QList<NodeData> sorted;
    sorted.reserve(nodes.size());
    for (qsizetype index : order)
        sorted.append(nodes.at(index));
    return sorted;
}

std::optional<qint64> addNode(ProjectSession& session)
{
    if (!session.hasRoomForIds(1, 0))
        return std::nullopt;
    session.pushUndoSnapshot();
    qint64 id = 0;
    session.document()->modify([&id](ProjectData& project) {
        const double n = static_cast<double>(project.nodes.size());
        id = ProjectSession::allocateNodeId(project);
        NodeData node;
        node.id = id;
        node.name = u"New Node"_s;
        node.type = u"Device"_s;
        // Unsigned past the largest identifiers, where k + 100 no longer fits.
        node.ip = u"192.168.1."_s +
                  (id >= 0 ? QString::number(quint64(id) + 100) : QString::number(id + 100));
        node.x = 200.0 + 50.0 * n;
        node.y = 200.0 + 30.0 * n;
        node.scale = 1.0;
        project.nodes.append(node);
    });
    session.ensureTypeColors();
    session.setSelectedNodes({id});
    return id;
}

bool commitNodeEdit(ProjectSession& session, qint64 nodeId, const QString& field,
                    const QString& value)
{
    const QList<NodeData>& nodes = session.project().nodes;
    const auto it = std::find_if(nodes.cbegin(), nodes.cend(),
                                 [nodeId](const NodeData& node) { return node.id == nodeId; });
    if (it == nodes.cend() || columnOfField(field) < 0 || columnOfField(field) > ipColumn)
        return false;
    const qsizetype index = it - nodes.cbegin();
    const bool typeChanged = field == sortKeyType && it->type != value;

    session.pushUndoSnapshot();
    session.document()->modify([&](ProjectData& project) {
        NodeData& node = project.nodes[index];
        if (field == sortKeyName)
            node.name = value;
        else if (field == sortKeyType)
            node.type = value;
        else
            node.ip = value;
    });
    if (typeChanged)
        session.ensureTypeColors();
    return true;
}

// The rows of the table: the sorted nodes, their selection, and the two row buttons as cells.
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

    void selectionChanged()
    {
        if (!m_rows.isEmpty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, Column::columnCount - 1),
                             {Qt::BackgroundRole});
    }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : Column::columnCount;
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_rows.size())
            return {};
        const NodeData& node = m_rows.at(index.row());
        const int column = index.column();
        switch (role) {
        case Qt::DisplayRole:
            if (column == deleteColumn)
                return deleteLabel;
            if (column == duplicateColumn)
                return duplicateLabel;
            return fieldValue(node, fieldOfColumn(column));
        case Qt::ToolTipRole:
            if (column == deleteColumn)
                return u"Delete node"_s;
            if (column == duplicateColumn)
                return u"Duplicate node"_s;
            return {};
        case Qt::BackgroundRole:
            if (m_session->selectedNodes().contains(node.id))
                return selectedRowBackground;
            return {};
        case Qt::ForegroundRole:
            return QColor(Qt::white);
        case Qt::FontRole:
            if (column == deleteColumn || column == duplicateColumn) {
                QFont font;
                font.setPixelSize(12);
                return font;
            }
            return {};
        case Qt::TextAlignmentRole:
            if (column == deleteColumn || column == duplicateColumn)
                return int(Qt::AlignCenter);
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
        }
    }

private:
    ProjectSession* m_session;
    QList<NodeData> m_rows;
    QHash<qint64, int> m_rowOfId;
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
        if (event->button() == Qt::LeftButton && index.isValid() && index.column() <= ipColumn)
            onPress(index, event->modifiers());
        event->accept();
    }
    void mouseMoveEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const QModelIndex index = indexAt(event->position().toPoint());
        if (event->button() == Qt::LeftButton && index.isValid() && index == m_pressed &&
            index.column() > ipColumn)
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
        if (event->button() == Qt::LeftButton && index.isValid() && index.column() <= ipColumn)
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
    setStyleSheet(
        u"#nodesPane { background: %1; } QLabel { color: white; }"_s.arg(css(paneBackground)));

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
    m_title = new QLabel(u"Nodes"_s);
    header->addWidget(m_title);
    header->addStretch();
    m_collapseButton = chevronButton(u"\u203A"_s);
    m_collapseButton->setToolTip(u"Collapse Nodes pane"_s);
    connect(m_collapseButton, &QToolButton::clicked, this, [this] { setNodesPaneCollapsed(true); });
    header->addWidget(m_collapseButton);
    column->addLayout(header);

    m_bulkRow = new QWidget;
    auto* bulk = new QHBoxLayout(m_bulkRow);
    bulk->setContentsMargins(0, 0, 0, 0);
    m_bulkLabel = new QLabel;
    m_bulkLabel->setStyleSheet(u"QLabel { color: white; font-size: 11px; }"_s);
    bulk->addWidget(m_bulkLabel);
    bulk->addStretch();
    m_setTypeButton = new QToolButton;
    m_setTypeButton->setText(u"Set Type"_s);
    m_setTypeButton->setIcon(symbolIcon(PaneSymbol::tag, Qt::white, 11));
    m_setTypeButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_setTypeButton->setPopupMode(QToolButton::InstantPopup);
    m_setTypeButton->setStyleSheet(u"QToolButton { color: white; font-size: 11px; background: %1;"
                                   " border: none; border-radius: 4px; padding: 3px 8px; }"_s.arg(
                                       css(colorOf(0.25, 0.25, 0.25))));
    m_setTypeMenu = new QMenu(m_setTypeButton);
    m_setTypeButton->setMenu(m_setTypeMenu);
    connect(m_setTypeMenu, &QMenu::aboutToShow, this, &NodesPane::rebuildTypeMenu);
    bulk->addWidget(m_setTypeButton);
    m_bulkRow->hide();
    column->addWidget(m_bulkRow);

    auto* buttons = new QHBoxLayout;
    m_exportButton = flatButton(u"CSV"_s, colorOf(0.25, 0.25, 0.25), Qt::white);
    m_exportButton->setIcon(style()->standardIcon(QStyle::SP_ArrowUp));
    m_exportButton->setToolTip(u"Export nodes to CSV file"_s);
    m_exportButton->setGraphicsEffect(new QGraphicsOpacityEffect(m_exportButton));
    connect(m_exportButton, &QPushButton::clicked, this, &NodesPane::exportRequested);
    m_importButton = flatButton(u"CSV"_s, colorOf(0.13, 0.26, 0.38), Qt::white);
    m_importButton->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    m_importButton->setToolTip(u"Import nodes from CSV file"_s);
    connect(m_importButton, &QPushButton::clicked, this, &NodesPane::importRequested);
    m_addButton = flatButton(u"+ Add Node"_s, editAccent, Qt::white);
    connect(m_addButton, &QPushButton::clicked, this, [this] { addNode(*m_session); });
    buttons->addWidget(m_exportButton);
    buttons->addWidget(m_importButton);
    buttons->addWidget(m_addButton);
    buttons->addStretch();
    column->addLayout(buttons);

    auto* sortRow = new QHBoxLayout;
    sortRow->setSpacing(0);
    const auto makeSortButton = [&](const QString& label, const QString& key, int width) {
        auto* button = new QPushButton(label);
        button->setFixedWidth(width);
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QPushButton::clicked, this, [this, key] { toggleSort(key); });
        sortRow->addWidget(button);
        return button;
    };
    m_sortName = makeSortButton(u"Name"_s, sortKeyName, nameColumnWidth);
    m_sortType = makeSortButton(u"Type"_s, sortKeyType, typeColumnWidth);
    m_sortIp = makeSortButton(u"IP"_s, sortKeyIp, ipColumnWidth);
    sortRow->addStretch();
    column->addLayout(sortRow);

    m_model = new NodesTableModel(m_session, this);
    m_table = new NodesTableView(m_expanded);
    m_table->setModel(m_model);
    m_table->horizontalHeader()->hide();
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->setColumnWidth(nameColumn, nameColumnWidth);
    m_table->setColumnWidth(typeColumn, typeColumnWidth);
    m_table->setColumnWidth(ipColumn, ipColumnWidth);
    m_table->setColumnWidth(deleteColumn, buttonColumnWidth);
    m_table->setColumnWidth(duplicateColumn, buttonColumnWidth);
    m_table->setSelectionMode(QAbstractItemView::NoSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setShowGrid(false);
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideRight);
    m_table->setFocusPolicy(Qt::NoFocus);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->setStyleSheet(u"QTableView { background: transparent; color: white; }"_s);
    m_table->onPress = [this](const QModelIndex& index, Qt::KeyboardModifiers modifiers) {
        selectRow(m_model->rows().at(index.row()).id, modifiers);
    };
    m_table->onDoubleClick = [this](const QModelIndex& index) {
        startEditing(m_model->rows().at(index.row()).id, fieldOfColumn(index.column()));
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

    m_editor = new QLineEdit(m_table->viewport());
    m_editor->hide();
    m_editor->setStyleSheet(u"QLineEdit { background: rgb(45,45,48); color: white;"
                            " border: 1px solid %1; padding: 0 2px; }"_s.arg(css(editAccent)));
    m_editor->installEventFilter(this);
    connect(m_editor, &QLineEdit::textEdited, this, &NodesPane::setEditingValue);
    connect(m_editor, &QLineEdit::returnPressed, this, &NodesPane::commitEdit);
    connect(m_table->verticalScrollBar(), &QScrollBar::valueChanged, this, &NodesPane::placeEditor);

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
    m_expandButton->setToolTip(u"Expand Nodes pane"_s);
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
    m_live = live;
    m_title->setStyleSheet(u"QLabel { color: %1; font-size: 14px; font-weight: 600; }"_s.arg(
        css(live ? liveAccent : editAccent)));
}

void NodesPane::toggleSort(const QString& key)
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
    QSet<qint64> selection = m_session->selectedNodes();
    if (modifiers & Qt::ShiftModifier) {
        selection.insert(nodeId);
    } else if (modifiers & Qt::ControlModifier) {
        if (!selection.remove(nodeId))
            selection.insert(nodeId);
    } else {
        selection = {nodeId};
    }
    m_session->setSelectedNodes(std::move(selection));
}

void NodesPane::startEditing(qint64 nodeId, const QString& field)
{
    const int row = m_model->rowOf(nodeId);
    if (row < 0 || columnOfField(field) < 0 || columnOfField(field) > ipColumn)
        return;
    m_editingNodeId = nodeId;
    m_editingField = field;
    m_editingValue = singleLine(fieldValue(m_model->rows().at(row), field));
    m_editor->setText(m_editingValue);
    m_session->setSelectedNodes({nodeId});
    placeEditor();
    m_editor->show();
    m_editor->setFocus(Qt::MouseFocusReason);
    m_editor->selectAll();
}

void NodesPane::setEditingValue(const QString& value)
{
    m_editingValue = singleLine(value);
    if (m_editor->text() != m_editingValue) {
        const int cursor = m_editor->cursorPosition();
        m_editor->setText(m_editingValue);
        m_editor->setCursorPosition(std::min(cursor, int(m_editingValue.size())));
    }
}

void NodesPane::commitEdit()
{
    if (!m_editingNodeId || !m_editingField)
        return;
    const qint64 nodeId = *m_editingNodeId;
    const QString field = *m_editingField;
    const QString value = m_editingValue;
    clearEditing();
    commitNodeEdit(*m_session, nodeId, field, value);
}

void NodesPane::cancelEdit()
{
    clearEditing();
}

void NodesPane::clearEditing()
{
    m_editingNodeId.reset();
    m_editingField.reset();
    m_editingValue.clear();
    m_editor->hide();
}

bool NodesPane::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_editor && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        cancelEdit();
        return true;
    }
    if (watched == m_editor && event->type() == QEvent::FocusOut) {
        // Leaving the field by a click or Tab commits it; another window coming to the front,
        // a popup or the field being hidden (its node deleted) does not.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
            reason == Qt::BacktabFocusReason)
            commitEdit();
    }
    return QWidget::eventFilter(watched, event);
}

QTableView* NodesPane::tableView() const
{
    return m_table;
}

QPushButton* NodesPane::sortButton(const QString& key) const
{
    if (key == sortKeyName)
        return m_sortName;
    if (key == sortKeyType)
        return m_sortType;
    if (key == sortKeyIp)
        return m_sortIp;
    return nullptr;
}

bool NodesPane::isBulkTypeRowShown() const
{
    return !m_bulkRow->isHidden();
}

QRect NodesPane::cellRect(qint64 nodeId, const QString& field) const
{
    const int row = m_model->rowOf(nodeId);
    const int column = columnOfField(field);
    if (row < 0 || column < 0)
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

    const bool hasNodes = rows > 0;
    m_exportButton->setEnabled(hasNodes);
    static_cast<QGraphicsOpacityEffect*>(m_exportButton->graphicsEffect())
        ->setOpacity(hasNodes ? 1.0 : 0.5);

    // While its node is gone the edit field is hidden (a commit then does nothing); an undo that
    // brings the node back shows it again.
    if (m_editingNodeId)
        m_editor->setVisible(m_model->rowOf(*m_editingNodeId) >= 0);
    placeEditor();
    if (m_pendingScrollId) {
        const int row = m_model->rowOf(*m_pendingScrollId);
        if (row >= 0) {
            m_pendingScrollId.reset();
            scrollToRow(row);
        }
    }
}

void NodesPane::refreshSelection()
{
    const QSet<qint64>& selection = m_session->selectedNodes();
    m_model->selectionChanged();

    const qsizetype count = selection.size();
    m_bulkRow->setVisible(count >= 2);
    m_bulkLabel->setText(u"Set type for "_s + QString::number(count) + u" selected nodes"_s);

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
    for (const auto& [button, key] :
         {std::pair{m_sortName, sortKeyName}, std::pair{m_sortType, sortKeyType},
          std::pair{m_sortIp, sortKeyIp}}) {
        const QColor color = key == m_sortColumn ? liveAccent : editAccent;
        button->setStyleSheet(u"QPushButton { color: %1; background: transparent; border: none;"
                              " text-align: left; padding: 2px 4px; font-size: 11px;"
                              " font-weight: 600; }"_s.arg(css(color)));
    }
}

void NodesPane::rebuildTypeMenu()
{
    m_setTypeMenu->clear();
    const QMap<QString, Rgb>& colors = m_session->typeColorMap();
    for (auto it = colors.cbegin(); it != colors.cend(); ++it) {
        const QString type = it.key();
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
        m_setTypeMenu->addAction(symbolIcon(PaneSymbol::pencil, ink, 11), u"Custom..."_s);
    connect(custom, &QAction::triggered, this, &NodesPane::customTypeRequested);
}

void NodesPane::placeEditor()
{
    if (!m_editingNodeId || !m_editingField)
        return;
    const QRect rect = cellRect(*m_editingNodeId, *m_editingField);
    if (rect.isEmpty())
        return;
    m_editor->setGeometry(rect);
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
