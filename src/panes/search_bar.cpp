// SPDX-License-Identifier: GPL-3.0-or-later
#include "panes/search_bar.h"

#include "canvas/canvas_interaction.h"
#include "model/project_session.h"
#include "model/search.h"
#include "panes/pane_icons.h"
#include "panes/pane_style.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

namespace velmora {

namespace {

// Without a match the buttons are drawn at half opacity and do nothing.
void setUsable(QPushButton* button, bool usable)
{
    button->setEnabled(usable);
    auto* effect = qobject_cast<QGraphicsOpacityEffect*>(button->graphicsEffect());
    if (!effect) {
        effect = new QGraphicsOpacityEffect(button);
        button->setGraphicsEffect(effect);
    }
    effect->setOpacity(usable ? 1.0 : 0.5);
}

} // namespace

SearchBar::SearchBar(ProjectSession* session, CanvasInteraction* interaction, QWidget* parent)
    : QWidget(parent), m_session(session), m_icon(new QLabel(this)), m_field(new QLineEdit(this)),
      m_clearButton(new QToolButton(this)), m_countLabel(new QLabel(this)),
      m_selectAllButton(new QPushButton(tr("Select All"), this)),
      m_zoomToButton(new QPushButton(tr("Zoom To"), this)), m_closeButton(new QToolButton(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_icon);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_clearButton);
    layout->addWidget(m_countLabel);
    layout->addWidget(m_selectAllButton);
    layout->addWidget(m_zoomToButton);
    layout->addWidget(m_closeButton);

    m_icon->setPixmap(QIcon::fromTheme(QStringLiteral("edit-find"),
                                       symbolIcon(PaneSymbol::search, paneColor::grey, 16))
                          .pixmap(16, 16));
    m_field->setPlaceholderText(tr("Search nodes..."));
    m_clearButton->setIcon(QIcon::fromTheme(QStringLiteral("edit-clear"),
                                            style()->standardIcon(QStyle::SP_LineEditClearButton)));
    m_clearButton->setToolTip(tr("Clear"));
    m_closeButton->setIcon(QIcon::fromTheme(QStringLiteral("window-close"),
                                            style()->standardIcon(QStyle::SP_TitleBarCloseButton)));
    m_closeButton->setToolTip(tr("Close"));
    m_countLabel->setObjectName(QStringLiteral("searchCount"));

    m_field->setText(session->searchText());
    connect(m_field, &QLineEdit::textEdited, session, &ProjectSession::setSearchText);
    connect(m_clearButton, &QToolButton::clicked, this,
            [this] { m_session->setSearchText(QString()); });
    connect(m_selectAllButton, &QPushButton::clicked, interaction,
            &CanvasInteraction::selectSearchResults);
    // Return in the field selects every match, as "Select All" does.
    connect(m_field, &QLineEdit::returnPressed, interaction,
            &CanvasInteraction::selectSearchResults);
    connect(m_zoomToButton, &QPushButton::clicked, interaction,
            &CanvasInteraction::zoomToSearchResults);
    connect(m_closeButton, &QToolButton::clicked, interaction, &CanvasInteraction::closeSearch);

    connect(session, &ProjectSession::searchTextChanged, this, &SearchBar::refresh);
    connect(session->document(), &ProjectDocument::changed, this, &SearchBar::refresh);
    connect(interaction, &CanvasInteraction::searchBarShownChanged, this, [this](bool shown) {
        setVisible(shown);
        if (shown)
            m_field->setFocus();
    });
    setVisible(interaction->showSearchBar());
    refresh();
}

void SearchBar::refresh()
{
    const QString& text = m_session->searchText();
    if (m_field->text() != text)
        m_field->setText(text);
    const qsizetype matches = searchResults(*m_session).size();
    m_clearButton->setVisible(!text.isEmpty());
    m_countLabel->setVisible(!text.isEmpty());
    m_countLabel->setText(tr("%1 found").arg(matches));
    setUsable(m_selectAllButton, matches > 0);
    setUsable(m_zoomToButton, matches > 0);
}

} // namespace velmora
