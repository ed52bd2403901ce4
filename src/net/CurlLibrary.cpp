#include "net/CurlLibrary.h"

#include <dlfcn.h>

namespace {

template <typename Function> bool resolve(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

} // namespace

const CurlLibrary& curlLibrary()
{
    static const CurlLibrary loaded = [] {
        CurlLibrary c;
        void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return c;
        CURLcode (*globalInit)(long) = nullptr;
        c.loaded = resolve(library, "curl_global_init", globalInit) &&
                   resolve(library, "curl_easy_init", c.easyInit) &&
                   resolve(library, "curl_easy_setopt", c.easySetopt) &&
                   resolve(library, "curl_easy_perform", c.easyPerform) &&
                   resolve(library, "curl_easy_getinfo", c.easyGetinfo) &&
                   resolve(library, "curl_easy_cleanup", c.easyCleanup) &&
                   resolve(library, "curl_easy_strerror", c.easyStrerror) &&
                   resolve(library, "curl_slist_append", c.slistAppend) &&
                   resolve(library, "curl_slist_free_all", c.slistFreeAll) &&
                   globalInit(CURL_GLOBAL_DEFAULT) == CURLE_OK;
        return c;
    }();
    return loaded;
}
