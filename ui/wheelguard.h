#pragma once

class QWidget;

// Combo boxes and spin boxes take a wheel step only once the user has chosen them (clicked
// or tabbed into them); otherwise the wheel scrolls the page they sit on, as in a browser.
namespace WheelGuard {

// One control; anything but a combo or spin box is left alone.
void guard(QWidget *control);
// Every combo and spin box below `root` as it stands now.
void guardAll(QWidget *root);

} // namespace WheelGuard
