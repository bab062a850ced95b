// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The search bar over the canvas: the query field, its match count, "Select All" and "Zoom To"
// for the matches, and a close button. Shown while the controller's showSearchBar is set.

#include <QWidget>

class QLabel;
class QLineEdit;
class QToolButton;
class QPushButton;

namespace velmora {

class ProjectSession;
class CanvasInteraction;

class SearchBar final : public QWidget {
    Q_OBJECT
public:
    SearchBar(ProjectSession* session, CanvasInteraction* interaction, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    QToolButton* clearButton() const { return m_clearButton; }
    QLabel* countLabel() const { return m_countLabel; }
    QPushButton* selectAllButton() const { return m_selectAllButton; }
    QPushButton* zoomToButton() const { return m_zoomToButton; }
    QToolButton* closeButton() const { return m_closeButton; }

private:
    void refresh();

    ProjectSession* m_session;
    QLabel* m_icon;
    QLineEdit* m_field;
    QToolButton* m_clearButton;
    QLabel* m_countLabel;
    QPushButton* m_selectAllButton;
    QPushButton* m_zoomToButton;
    QToolButton* m_closeButton;
};

} // namespace velmora
