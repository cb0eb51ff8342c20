#include "pipeline/release_config.h"

#include "net/http.h"

ReleaseConfig FetchReleaseConfig(const std::wstring& url) {
    // GetUrlContent logs the transfer and gives an empty text for every failure, which parses
    // to the empty record.
    return ParseReleaseConfig(GetUrlContent(url));
}
