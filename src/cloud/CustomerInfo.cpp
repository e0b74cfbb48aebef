#include "cloud/CustomerInfo.h"

#include <filesystem>
#include <system_error>

#include "base/PlainText.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "cloud/PrivateSettings.h"

namespace lv {

CustomerInfoRules::CustomerInfoRules()
    : customerId_(setting::CustomerId.Read()),
      apiKey_(setting::ApiKey.Read()),
      address_(setting::CloudApiBase.Read()),
      caFile_(setting::CloudCaFile.Read()) {}

bool CustomerInfoRules::AcceptAll(const std::string& customerId, const std::string& apiKey,
                                  const std::string& addressText, const std::string& caFileText,
                                  std::string& warning) {
    const std::string address = TrimmedText(addressText);
    const std::string caFile = TrimmedText(caFileText);
    // The key travels to this address: never in clear.
    if (!address.empty() && address.rfind("https://", 0) != 0) {
        warning = Tr("The cloud address must begin with https://", "L'adresse du cloud doit commencer par https://");
        return false;
    }
    std::error_code unreadable;
    if (!caFile.empty() && !std::filesystem::is_regular_file(caFile, unreadable)) {
        warning = Tr("The CA certificates file cannot be found: ", "Le fichier de certificats CA est introuvable : ") +
                  caFile;
        return false;
    }
    if (!Accept(customerId, apiKey, warning)) return false;
    setting::CloudApiBase.Write(address);
    setting::CloudCaFile.Write(caFile);
    // A token of one service means nothing to another.
    if (address != address_) setting::AccessTokenValue.Write("");
    address_ = address;
    caFile_ = caFile;
    return true;
}

bool CustomerInfoRules::Accept(const std::string& customerIdText, const std::string& apiKeyText,
                               std::string& warning) {
    const std::string customerId = TrimmedText(customerIdText);
    const std::string apiKey = TrimmedText(apiKeyText);
    if (customerId.empty()) {
        warning = Tr("Please enter your Tarvex customer id", "Saisissez votre n° de client Tarvex");
        return false;
    }
    if (apiKey.empty()) {
        warning = Tr("Please enter an API key here", "Générez une API key dans votre espace client et copiez-la ici");
        return false;
    }
    KeepSettingsPrivate();
    setting::CustomerId.Write(customerId);
    setting::ApiKey.Write(apiKey);
    // Another account or key: the next request fetches a token of its own.
    if (customerId != customerId_ || apiKey != apiKey_) setting::AccessTokenValue.Write("");
    KeepSettingsPrivate();
    customerId_ = customerId;
    apiKey_ = apiKey;
    return true;
}

bool CustomerInfoRules::CredentialsSet() {
    return !setting::CustomerId.Read().empty() && !setting::ApiKey.Read().empty();
}

}  // namespace lv
