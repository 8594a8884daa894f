#include "setup_pack/output_options.h"

namespace {

PackError usage(const std::string& input, const std::string& reason) {
    return PackError(packUsage, input, reason + " (see --help)");
}

} // namespace

std::optional<std::string>* outputOption(PackOptions& options, const std::string& option) {
    struct Named {
        const char* name;
        std::optional<std::string> PackOptions::*field;
    } const named[] = {{"--out-msi", &PackOptions::outMsiPath}};
    for (const Named& entry : named)
        if (option == entry.name)
            return &(options.*entry.field);
    return nullptr;
}

void checkOutputOptions(const PackOptions& options, bool haveOut) {
    if (!options.outMsiPath)
        return;
    if (options.inspectPath || options.extractPath)
        throw usage(options.inspectPath ? "--inspect" : "--extract", "takes no packing options");
    if (options.makeTransform)
        throw usage("--make-transform", "takes only --msi, --localized and --out");
    if (options.outMsiPath->empty())
        throw usage("--out-msi", "needs a non-empty path");
    if (options.signing.given())
        throw usage("--out-msi",
                    "does not go with signing: the package it writes would be unsigned");
    const std::pair<bool, const char*> setupOnly[] = {
        {options.languages.has_value(), "--languages"},
        {options.productName.has_value(), "--product-name"},
        {options.productCode.has_value(), "--product-code"},
        {options.version.has_value(), "--version"},
        {options.logPath.has_value(), "--log-path"},
        {options.stubPath.has_value(), "--stub"},
        {options.arch.has_value(), "--arch"}};
    for (const auto& given : setupOnly)
        if (given.first && !haveOut)
            throw usage(given.second, "is about the setup: it needs --out");
}
