#pragma once
// RC4, the stream cipher of the remembered-login file. Every call starts a fresh key
// schedule, so the key stream always begins at its first byte and the same text always
// gives the same bytes; enciphering and deciphering are the same operation.

#include <string>

class Rc4Cipher {
public:
    // Through OpenSSL's implementation (its legacy provider, loaded into a library context
    // of our own so the rest of the process keeps OpenSSL's defaults); through our own when
    // the provider is not installed.
    static std::string apply(const std::string& key, const std::string& data);

    // Our own implementation.
    static std::string applyPortable(const std::string& key, const std::string& data);

    // Whether OpenSSL's implementation is available.
    static bool haveOpenSsl();
};
