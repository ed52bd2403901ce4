#pragma once

#include <curl/curl.h>

// libcurl and what it pulls in (TLS, Kerberos, LDAP, SSH...) would cost every start of the program
// a good part of its time: it is loaded when the first mail or calendar request goes out, and
// stays loaded to the end of the program.
struct CurlLibrary
{
    CURL* (*easyInit)() = nullptr;
    CURLcode (*easySetopt)(CURL*, CURLoption, ...) = nullptr;
    CURLcode (*easyPerform)(CURL*) = nullptr;
    CURLcode (*easyGetinfo)(CURL*, CURLINFO, ...) = nullptr;
    void (*easyCleanup)(CURL*) = nullptr;
    const char* (*easyStrerror)(CURLcode) = nullptr;
    curl_slist* (*slistAppend)(curl_slist*, const char*) = nullptr;
    void (*slistFreeAll)(curl_slist*) = nullptr;
    bool loaded = false; // false when the library or one of its functions is missing
};

// The library, loaded (and globally initialised) at the first call.
const CurlLibrary& curlLibrary();
