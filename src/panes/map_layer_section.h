// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Map Layer" section of the left pane: load or replace the background image, clear it,
// and its opacity and saturation sliders.

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QSlider;

namespace velmora {

class ProjectSession;
class ViewState;

class MapLayerSection final : public QWidget {
    Q_OBJECT
public:
    MapLayerSection(ProjectSession* session, ViewState* view, QWidget* parent = nullptr);

    // Asks for the image file; the default opens a file dialog for PNG, JPEG and WebP images.
    void setFileChooser(std::function<QString()> chooser) { m_chooseFile = std::move(chooser); }
    void chooseAndLoadImage();

    QPushButton* loadButton() const { return m_load; }
    QPushButton* clearButton() const { return m_clear; }
    QSlider* opacitySlider() const { return m_opacity; }
    QSlider* saturationSlider() const { return m_saturation; }
    QLabel* opacityValue() const { return m_opacityValue; }
    QLabel* saturationValue() const { return m_saturationValue; }

private:
    void refresh();

    ProjectSession* m_session;
    ViewState* m_view;
    std::function<QString()> m_chooseFile;
    QLabel* m_title;
    QPushButton* m_load;
    QPushButton* m_clear;
    QWidget* m_sliders;
    QSlider* m_opacity;
    QSlider* m_saturation;
    QLabel* m_opacityValue;
    QLabel* m_saturationValue;
};

} // namespace velmora
