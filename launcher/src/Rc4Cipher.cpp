#include "launcher/Rc4Cipher.h"

#include <cstdint>
#include <mutex>
#include <openssl/evp.h>
#include <openssl/provider.h>
#include <utility>

namespace {

// OpenSSL 3 keeps RC4 in its legacy provider. Loading that provider into the default
// library context would stop the default provider from loading there by itself, so it gets
// a context of its own; made once and kept for the life of the process.
struct OpenSslRc4 {
    OSSL_LIB_CTX* context = nullptr;
    OSSL_PROVIDER* legacy = nullptr;
    EVP_CIPHER* cipher = nullptr;

    OpenSslRc4() {
        context = OSSL_LIB_CTX_new();
        if (!context) return;
        legacy = OSSL_PROVIDER_load(context, "legacy");
        if (legacy) cipher = EVP_CIPHER_fetch(context, "RC4", nullptr);
    }
};

const OpenSslRc4& openSsl() {
    static const OpenSslRc4 rc4;
    return rc4;
}

bool applyOpenSsl(const std::string& key, const std::string& data, std::string& out) {
    const OpenSslRc4& rc4 = openSsl();
    if (!rc4.cipher) return false;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx) return false;
    const OSSL_PARAM none[] = {OSSL_PARAM_END};
    unsigned int keyLength = static_cast<unsigned int>(key.size());
    OSSL_PARAM keyParams[] = {OSSL_PARAM_construct_uint("keylen", &keyLength), OSSL_PARAM_END};
    bool ok = EVP_EncryptInit_ex2(ctx, rc4.cipher, nullptr, nullptr, none) == 1 &&
              EVP_CIPHER_CTX_set_params(ctx, keyParams) == 1 &&
              EVP_EncryptInit_ex2(ctx, nullptr, reinterpret_cast<const unsigned char*>(key.data()), nullptr, none) ==
                  1;
    out.assign(data.size(), '\0');
    int written = 0;
    if (ok && !data.empty())
        ok = EVP_EncryptUpdate(ctx, reinterpret_cast<unsigned char*>(&out[0]), &written,
                               reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size())) ==
                 1 &&
             written == static_cast<int>(data.size());
    EVP_CIPHER_CTX_free(ctx);
    return ok;
}

}  // namespace

std::string Rc4Cipher::applyPortable(const std::string& key, const std::string& data) {
    std::uint8_t s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    if (!key.empty()) {
        std::uint8_t j = 0;
        for (int i = 0; i < 256; ++i) {
            j = static_cast<std::uint8_t>(j + s[i] + static_cast<std::uint8_t>(key[std::size_t(i) % key.size()]));
            std::swap(s[i], s[j]);
        }
    }
    std::string out(data.size(), '\0');
    std::uint8_t i = 0, j = 0;
    for (std::size_t n = 0; n < data.size(); ++n) {
        i = static_cast<std::uint8_t>(i + 1);
        j = static_cast<std::uint8_t>(j + s[i]);
        std::swap(s[i], s[j]);
        const std::uint8_t k = s[static_cast<std::uint8_t>(s[i] + s[j])];
        out[n] = static_cast<char>(static_cast<std::uint8_t>(data[n]) ^ k);
    }
    return out;
}

bool Rc4Cipher::haveOpenSsl() { return openSsl().cipher != nullptr; }

std::string Rc4Cipher::apply(const std::string& key, const std::string& data) {
    std::string out;
    if (applyOpenSsl(key, data, out)) return out;
    return applyPortable(key, data);
}
