#pragma once
// CDlgCustomerInfo: the customer number and API key, a thin view over CustomerInfoRules.
#include <QWidget>

namespace lv {

// Shows the dialog modally; true when OK was pressed and both credentials are set.
bool EditCustomerInfo(QWidget* parent);

}  // namespace lv
