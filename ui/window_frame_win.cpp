// The window's frame at its scale: its outer size around the client area
// of the DPI it is shown at, its place, and a new DPI taken on.
#include "ui/window_win.h"

#include "ui/dpi_win.h"
#include "ui/painter_win.h"

namespace ui {

namespace {

// A window of that outer size, centred in the work area.
RECT centredInWorkArea(const Extent& outer) {
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int left = work.left + (work.right - work.left - outer.width) / 2;
    const int top = work.top + (work.bottom - work.top - outer.height) / 2;
    return RECT{left, top, left + outer.width, top + outer.height};
}

}  // namespace

RECT MainWindow::centredPlace() const {
    const RECT frame = frameRect();
    return centredInWorkArea(Extent{frame.right - frame.left, frame.bottom - frame.top});
}

RECT MainWindow::frameRect() const {
    const Box client = ScaledBox(form_->root(), scale_);
    return FrameAround(client.width(), client.height(), kMainStyle, kMainExStyle, scale_.dpi());
}

SIZE MainWindow::sizeAt(int dpi) const {
    const Box client = ScaledBox(form_->root(), Scale(dpi));
    const RECT frame = FrameAround(client.width(), client.height(), kMainStyle, kMainExStyle, dpi);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

void MainWindow::applyDpi(int dpi, const RECT* suggested) {
    scale_ = Scale(dpi);
    painter_->setScale(scale_);
    const RECT frame = frameRect();
    const RECT place = suggested ? *suggested : centredPlace();
    outer_ = Extent{frame.right - frame.left, frame.bottom - frame.top};
    SetWindowPos(hwnd_, nullptr, place.left, place.top, outer_.width, outer_.height, SWP_NOZORDER | SWP_NOACTIVATE);
    fitFrame(!suggested);
    moveTooltips();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void MainWindow::fitFrame(bool centre) {
    RECT window, client;
    if (!GetWindowRect(hwnd_, &window) || !GetClientRect(hwnd_, &client)) return;
    const Box wanted = ScaledBox(form_->root(), scale_);
    const Extent fitted = OuterFor(Extent{wanted.width(), wanted.height()},
                                   Extent{window.right - window.left, window.bottom - window.top},
                                   Extent{client.right - client.left, client.bottom - client.top});
    if (fitted == outer_) return;
    outer_ = fitted;
    const RECT place = centre ? centredInWorkArea(fitted) : window;
    SetWindowPos(hwnd_, nullptr, place.left, place.top, fitted.width, fitted.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace ui
