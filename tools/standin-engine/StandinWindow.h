#pragma once

#include <QRasterWindow>

class StandinView;

// The engine's own native window: shows the page surface and turns a click
// on a link into a navigation.
class StandinWindow : public QRasterWindow
{
    Q_OBJECT

public:
    explicit StandinWindow(StandinView* view);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    StandinView* view;
};
