// The visible widgets of a window as plain Qt widgets: written from Velunor's first frame by
// bench_window, rebuilt by the same-form window without any of Velunor's code, layouts or
// icons. The difference to Velunor's own start is what Velunor adds to building and painting
// that form; the difference to the bare window is what the form itself costs Qt.
#pragma once

#include <QString>

// One line per widget: parent index (-1 for the window), kind, x, y, width, height, text;
// tab-separated, parents before children.
QString describeForm(const class QWidget *window);
