#pragma once

#include <QString>
#include <string>

class QLabel;
class QListWidget;
class QVBoxLayout;
class QWidget;

namespace kestrio::gui {

// What the plan panes of the Settings tab share. Desktop controls stand in for wheels: a list for
// the plan type and the start day, number fields for lengths and amounts, a date-and-time field
// for start dates. Every change reaches the controller at once, which stores it; a summary box
// (grey border) shows what was stored.

// The summary box: a label in a 1-pixel grey frame.
QLabel* summaryBox(const std::string& text, QWidget* parent);

// Rows tall enough to hit with a finger or to read at a glance, as a picker wheel's are.
void roomyRows(QListWidget* list);

// A pane's layout: its controls stacked with room around them.
QVBoxLayout* paneLayout(QWidget* pane);

// The store could not be written: said at once, over the pane.
void reportNotStored(QWidget* pane, const std::string& why);

}  // namespace kestrio::gui
