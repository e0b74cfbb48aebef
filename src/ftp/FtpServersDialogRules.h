#pragma once
// The rules of the FTP servers dialog (CDlgFtpServers) without any widget: the list
// read from FtpServers.dat with a check box per server, the compact and full forms,
// the browsing and editing modes with what each enables, the checks of "Validate
// update", and what OK returns and writes. The Qt dialog shows what these say.
#include <optional>
#include <string>
#include <vector>

#include "ftp/FtpServers.h"

namespace lv {

// The five edit boxes.
struct FtpServerFields {
    std::string label;
    std::string site;
    std::string user;
    std::string password;
    std::string directory;
};

enum class FtpServerField { Label, Site, User, Password, Directory };

// What the dialog's controls allow in the present mode.
struct FtpServersControls {
    bool list = false;
    bool add = false;
    bool remove = false;
    bool update = false;
    bool formButton = false;
    bool ok = false;
    bool cancel = false;
    bool edits = false;          // the five edit boxes
    bool validateUpdate = false;
    bool cancelUpdate = false;
};

struct FtpServerValidation {
    bool ok = false;
    std::string message;         // shown in a message box when not ok
    FtpServerField focus = FtpServerField::Label;
};

class FtpServersDialogRules {
public:
    // The list of the file at `path` (empty when it cannot be read); the servers whose
    // labels are among `chosenLabels` start checked. Browsing mode, compact form.
    FtpServersDialogRules(std::string path, const std::vector<std::string>& chosenLabels);

    // --- The list ---
    std::size_t Count() const { return servers_.size(); }
    const CFtpServer& ServerAt(std::size_t index) const { return *servers_.at(index); }
    bool IsChecked(std::size_t index) const { return checked_.at(index); }
    void SetChecked(std::size_t index, bool checked);
    std::optional<std::size_t> Selection() const { return selection_; }
    // Browsing mode only; selecting shows the server in the edit boxes.
    void Select(std::optional<std::size_t> index);
    // What the edit boxes show.
    const FtpServerFields& Fields() const { return fields_; }

    // --- Forms and modes ---
    bool FullForm() const { return full_; }
    void ToggleForm() { full_ = !full_; }
    // ">>" in the compact form, "<<" in the full one.
    const char* FormButtonText() const { return full_ ? "<<" : ">>"; }
    bool Editing() const { return editing_; }
    FtpServersControls Controls() const;

    // "Add": no selection, empty edit boxes, editing mode.
    void Add();
    // "Update" on the selected server: editing mode. False without a selection.
    bool Update();
    // A double click in the full form starts the update of that server.
    bool DoubleClick(std::size_t index);
    // "Validate update" with what the edit boxes hold: label, user, password and site
    // trimmed and not empty, no value the file cannot store, a usable site. A valid
    // entry replaces the selected server or is added at the end, and is selected;
    // browsing mode resumes. Otherwise the message and the box to focus.
    FtpServerValidation ValidateUpdate(const FtpServerFields& typed);
    // "Cancel update": browsing mode, nothing changed.
    void CancelUpdate();
    // "Remove": the selected server goes, the edit boxes are cleared.
    void Remove();

    // --- OK ---
    // The checked labels, in list order.
    std::vector<std::string> ChosenLabels() const;
    // Writes every server of the list to the file. 0, or −1 and why.
    int Save(std::string& error) const;

private:
    std::string path_;
    FtpServerList servers_;
    std::vector<bool> checked_;
    std::optional<std::size_t> selection_;
    FtpServerFields fields_;
    bool full_ = false;
    bool editing_ = false;
};

// The single-server dialog (CDlgFtpParameters): the detections export's server, kept
// in section FtpSettings. No field is checked.
FtpServerFields LoadFtpParameters();
void StoreFtpParameters(const FtpServerFields& fields);

}  // namespace lv
