// Feeds the input to the request head parser whole and byte by byte as it
// would arrive, and checks that a head found early is the same head, that a
// complete head lies within the bound and the input, and that the checks
// made on its fields hold up on whatever they hold.

#include "web/DashboardAccess.h"
#include "web/HttpRequestHead.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kMaxHead = 8192;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<int>(size));
    HttpRequestHead head;
    int headBytes = -1;
    const HeadStatus whole = parseHttpHead(input, kMaxHead, &head, &headBytes);
    if (whole == HeadStatus::Complete) {
        check(headBytes >= 4 && headBytes <= kMaxHead && headBytes <= input.size());
        check(input.mid(headBytes - 4, 4) == "\r\n\r\n");
        check(head.contentLength >= 0);
        isOwnHost(head.field("host"), QStringLiteral("racing-pc"));
        isOwnOrigin(head.field("origin"), head.field("host"));
        sameSecret(cookieValue(head.field("cookie"), kPairingCookie), queryValue(head.query, "pair"));
        hasMediaType(head.field("content-type"), "application/json");
    }
    // The same bytes arriving in pieces: the parser decides at the first
    // prefix that ends a head, and decides the same. Only a line feed or the
    // bound can change the decision, so those prefixes are the ones tried.
    for (int n = 1; n <= input.size(); ++n) {
        if (input.at(n - 1) != '\n' && n != kMaxHead && n != input.size())
            continue;
        HttpRequestHead early;
        int earlyBytes = -1;
        const HeadStatus status = parseHttpHead(input.left(n), kMaxHead, &early, &earlyBytes);
        if (status == HeadStatus::Incomplete)
            continue;
        check(status == whole);
        if (status == HeadStatus::Complete)
            check(earlyBytes == headBytes && early.path == head.path && early.fields == head.fields);
        break;
    }
    return 0;
}
