#include "ftp/FtpServersDialogRules.h"

#include <algorithm>

#include <fmt/printf.h>

#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "ftp/FtpSite.h"

namespace lv {

namespace {

FtpServerFields FieldsOf(const CFtpServer& server) {
    return {server.label, server.site, server.user, server.password, server.directory};
}

// The name of a box as the messages call it.
const char* FieldName(FtpServerField field) {
    switch (field) {
        case FtpServerField::Label: return "Label";
        case FtpServerField::Site: return Tr("Server", "Serveur");
        case FtpServerField::User: return Tr("User", "Utilisateur");
        case FtpServerField::Password: return Tr("Password", "Mot de passe");
        case FtpServerField::Directory: return Tr("Directory", "Répertoire");
    }
    return "";
}

FtpServerValidation Refused(FtpServerField field, std::string message) {
    return {false, std::move(message), field};
}

}  // namespace

FtpServersDialogRules::FtpServersDialogRules(std::string path, const std::vector<std::string>& chosenLabels)
    : path_(std::move(path)) {
    std::string ignored;
    LoadFtpServers(servers_, path_, ignored);  // no file yet: an empty list
    for (const auto& server : servers_) {
        checked_.push_back(std::find(chosenLabels.begin(), chosenLabels.end(), server->label) != chosenLabels.end());
    }
}

void FtpServersDialogRules::SetChecked(std::size_t index, bool checked) { checked_.at(index) = checked; }

void FtpServersDialogRules::Select(std::optional<std::size_t> index) {
    if (editing_) return;
    if (index && *index >= servers_.size()) index.reset();
    selection_ = index;
    if (selection_) fields_ = FieldsOf(*servers_[*selection_]);
}

FtpServersControls FtpServersDialogRules::Controls() const {
    FtpServersControls controls;
    if (editing_) {
        controls.edits = controls.validateUpdate = controls.cancelUpdate = true;
        return controls;
    }
    controls.list = controls.add = controls.formButton = controls.ok = controls.cancel = true;
    controls.remove = controls.update = selection_.has_value();
    return controls;
}

void FtpServersDialogRules::Add() {
    if (editing_) return;
    selection_.reset();
    fields_ = {};
    editing_ = true;
}

bool FtpServersDialogRules::Update() {
    if (editing_ || !selection_) return false;
    editing_ = true;
    return true;
}

bool FtpServersDialogRules::DoubleClick(std::size_t index) {
    if (!full_ || editing_ || index >= servers_.size()) return false;
    Select(index);
    return Update();
}

FtpServerValidation FtpServersDialogRules::ValidateUpdate(const FtpServerFields& typed) {
    FtpServerFields entry = typed;
    entry.label = TrimFtpText(typed.label);
    entry.user = TrimFtpText(typed.user);
    entry.password = TrimFtpText(typed.password);
    entry.site = TrimFtpText(typed.site);
    const std::pair<FtpServerField, const std::string*> required[] = {
        {FtpServerField::Label, &entry.label},
        {FtpServerField::User, &entry.user},
        {FtpServerField::Password, &entry.password},
        {FtpServerField::Site, &entry.site},
    };
    for (const auto& [field, value] : required) {
        if (value->empty()) {
            return Refused(field, fmt::sprintf(Tr("%s is empty!", "%s vide !"), FieldName(field)));
        }
    }
    const std::pair<FtpServerField, const std::string*> all[] = {
        {FtpServerField::Label, &entry.label},       {FtpServerField::Site, &entry.site},
        {FtpServerField::User, &entry.user},         {FtpServerField::Password, &entry.password},
        {FtpServerField::Directory, &entry.directory},
    };
    for (const auto& [field, value] : all) {
        // The servers file cannot hold these: the server would be lost at the next load.
        if (!IsStorableFtpValue(*value)) {
            return Refused(field, fmt::sprintf(Tr("%s: a tab or ';' cannot be stored!",
                                                  "%s : une tabulation ou un ';' ne peut pas être enregistré !"),
                                               FieldName(field)));
        }
    }
    FtpEndpoint endpoint;
    std::string reason;
    if (!ParseFtpSite(entry.site, endpoint, reason)) {
        return Refused(FtpServerField::Site, fmt::sprintf(Tr("%s: %s", "%s : %s"), FieldName(FtpServerField::Site), reason));
    }

    auto server = std::make_unique<CFtpServer>();
    server->label = entry.label;
    server->site = entry.site;
    server->user = entry.user;
    server->password = entry.password;
    server->directory = entry.directory;
    if (selection_) {
        servers_[*selection_] = std::move(server);
    } else {
        servers_.push_back(std::move(server));
        checked_.push_back(false);
        selection_ = servers_.size() - 1;
    }
    fields_ = entry;
    editing_ = false;
    return {true, {}, FtpServerField::Label};
}

void FtpServersDialogRules::CancelUpdate() {
    if (!editing_) return;
    editing_ = false;
    if (selection_) {
        fields_ = FieldsOf(*servers_[*selection_]);
    } else {
        fields_ = {};
    }
}

void FtpServersDialogRules::Remove() {
    if (editing_ || !selection_) return;
    servers_.erase(servers_.begin() + static_cast<std::ptrdiff_t>(*selection_));
    checked_.erase(checked_.begin() + static_cast<std::ptrdiff_t>(*selection_));
    selection_.reset();
    fields_ = {};
}

std::vector<std::string> FtpServersDialogRules::ChosenLabels() const {
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < servers_.size(); ++i) {
        if (checked_[i]) labels.push_back(servers_[i]->label);
    }
    return labels;
}

int FtpServersDialogRules::Save(std::string& error) const { return SaveFtpServers(servers_, path_, error); }

FtpServerFields LoadFtpParameters() {
    return {setting::FtpLabel.Read(), setting::FtpSite.Read(), setting::FtpUser.Read(), setting::FtpPassword.Read(),
            setting::FtpDirectory.Read()};
}

void StoreFtpParameters(const FtpServerFields& fields) {
    setting::FtpLabel.Write(fields.label);
    setting::FtpSite.Write(fields.site);
    setting::FtpUser.Write(fields.user);
    setting::FtpPassword.Write(fields.password);
    setting::FtpDirectory.Write(fields.directory);
}

}  // namespace lv
