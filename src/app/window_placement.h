// Where the main window opens and what is kept of it: on a first start at the size that gives
// the view its default size (CSorvantelView::DefaultSize), centred; later where and as large as
// it was left, as far as the screens of this run allow.
#pragma once

#include <QRect>

class QMainWindow;
class QWidget;

namespace sorv {

class CSorvantelDoc;

// The window rectangle `wanted` moved and, only if it must, shrunk so that it lies inside
// `available` (a screen's area less its panels); a rectangle that fits stays as it is.
QRect FitInside(const QRect& wanted, const QRect& available);

// Sizes and places the window before it is first shown, from the document's stored placement
// or else from the view's default size.
void PlaceMainWindow(QMainWindow& window, QWidget& view, const CSorvantelDoc& doc);

// Copies the window's normal (not maximised) place and size into the document for the
// settings file.
void RememberMainWindow(const QMainWindow& window, CSorvantelDoc& doc);

}  // namespace sorv
