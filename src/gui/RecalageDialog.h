#pragma once
// CDlgRecalage: the handicap re-alignment on a known passing. A thin view over
// RecalageRules; OK keeps the dialog open with a warning until the time reads.
#include <QDialog>

#include "export/RecalageRules.h"

class QLineEdit;

namespace lv {

class CDlgRecalage : public QDialog {
    Q_OBJECT
public:
    CDlgRecalage(RecalageRules rules, QWidget* parent = nullptr);

    void accept() override;
    // After OK: the new handicap.
    const CChrono& Handicap() const { return rules_.Handicap(); }
    QLineEdit* TimeEdit() const { return time_; }

private:
    RecalageRules rules_;
    QLineEdit* time_ = nullptr;
};

}  // namespace lv
