#pragma once
// The rules of the customer credentials dialog (CDlgCustomerInfo): the customer number
// and API key shown on opening, the checks of OK, and the cached token dropped when
// either changes.
#include <string>

namespace lv {

class CustomerInfoRules {
public:
    // Reads and remembers the stored values.
    CustomerInfoRules();

    const std::string& CustomerId() const { return customerId_; }
    const std::string& ApiKey() const { return apiKey_; }

    // OK with the two boxes' texts (trimmed here). False with the warning to show (the
    // dialog stays open); true once both are stored.
    bool Accept(const std::string& customerId, const std::string& apiKey, std::string& warning);

    // The cloud service's address ("https://host[:port]", empty while not configured)
    // and a CA certificates file trusted besides the system's (empty: none).
    const std::string& ServiceAddress() const { return address_; }
    const std::string& CaFile() const { return caFile_; }
    // OK of the whole dialog: the address and the CA file are checked first, then the
    // credentials as Accept does; nothing is stored unless all are right. Another
    // address drops the cached token too.
    bool AcceptAll(const std::string& customerId, const std::string& apiKey, const std::string& address,
                   const std::string& caFile, std::string& warning);

    // Both credentials are set in the settings.
    static bool CredentialsSet();

private:
    std::string customerId_;
    std::string apiKey_;
    std::string address_;
    std::string caFile_;
};

}  // namespace lv
