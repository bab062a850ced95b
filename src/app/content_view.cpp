// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/content_view.h"

namespace velmora {

ContentView::ContentView(ProjectDocument* document, QWidget* parent)
    : QWidget(parent), m_document(document), m_session(new ProjectSession(document, this))
{
}

void ContentView::windowShown()
{
    m_session->ensureTypeColors();
    m_session->loadTypeColors();
}

} // namespace velmora
