#pragma once

class QWidget;

// Controls made after their window was built join the end of its Tab order; these put them
// back where they stand.

// The nearest widget before `widget` in the Tab order that Tab can reach, outside it.
QWidget *focusableBefore(QWidget *widget);

// Puts `root` and every control inside it that Tab reaches, in the order they were made,
// right after `previous`. Parts of a compound control (a spin box's editor, a list's
// viewport) move with it. Returns the last one placed.
QWidget *chainFocusAfter(QWidget *previous, QWidget *root);
