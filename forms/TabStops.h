#pragma once

class QWidget;

namespace orvelle::forms {

// Keeps widget and everything inside it out of the Tab chain while it can still take focus by
// a click, also for the inner widgets it makes later (the web view makes its own when a page
// first shows).
void KeepOutOfTabChain(QWidget* widget);

} // namespace orvelle::forms
