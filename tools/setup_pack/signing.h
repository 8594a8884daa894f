#pragma once
// Authenticode signing of what setup-pack writes, done by the osslsigncode
// program (and openssl, to take the certificate out of a PKCS#12 file):
// the package is signed first, with the product name as the signature's
// description (the elevation prompt shows it), then packed; then the setup
// is signed. Both signatures are verified before the setup appears at its
// path, so a failed run leaves an existing output as it was.
#include <functional>
#include <string>

#include "setup_pack/pack_error.h"

// What to sign with (--sign-cert, --sign-key, --sign-pkcs12) and check
// against (--sign-ca, --timestamp-url).
struct SigningOptions {
    std::string certPath;     // --sign-cert: the certificate, PEM or DER
    std::string keyPath;      // --sign-key: its private key
    std::string pkcs12Path;   // --sign-pkcs12: both; password in SETUP_PACK_SIGN_PASSWORD
    std::string caPath;       // --sign-ca: what both signatures must verify against
    std::string timestampUrl; // --timestamp-url: an RFC 3161 service

    bool requested() const { return !certPath.empty() || !keyPath.empty() || !pkcs12Path.empty(); }
    bool given() const { return requested() || !caPath.empty() || !timestampUrl.empty(); }
};

// The plain packing: reads the package at `msiPath` and writes the setup
// to `outPath`.
using PackStep = std::function<void(const std::string& msiPath, const std::string& outPath)>;

// Signs a copy of the package (same file name, in a work folder beside
// `outPath`) as `description`, verifies it, packs it through `pack`, signs
// and verifies the setup, then moves it onto `outPath`. Throws PackError
// (packWriteFailed) naming the file or the tool when osslsigncode or
// openssl is missing or fails, or a signature does not verify; the work
// folder is removed either way.
void packSigned(const SigningOptions& options, const std::string& description,
                const std::string& msiPath, const std::string& outPath, const PackStep& pack);
