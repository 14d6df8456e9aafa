#include "counters/TextFieldViewController.h"

namespace kestrio {

TextFieldViewController::TextFieldViewController(Ui& ui) : ui_(ui) {}

void TextFieldViewController::viewWillAppear() {
  textField = initialText;
  if (view_) view_->reloadData();
}

void TextFieldViewController::done() {
  if (delegate) delegate->textViewControllerDidFinish(*this, textField, indexPath);
  // Last: closing may release this pane.
  ui_.dismiss(this);
}

void TextFieldViewController::cancel() {
  if (delegate) delegate->textViewControllerDidFinish(*this, initialText, indexPath);
  ui_.dismiss(this);
}

}  // namespace kestrio
