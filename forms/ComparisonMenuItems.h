#pragma once

class QTreeWidget;

namespace orvelle::forms {

class Comparison;

// The tree's own menu (a right click in it) gets «Сравнить с другой версией…» and «Закрыть
// сравнение».
void AddComparisonMenuItems(QTreeWidget* tree, const Comparison& comparison);

} // namespace orvelle::forms
