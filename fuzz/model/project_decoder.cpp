// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the project decoder. Whatever decodes must encode, and the encoded file
// must decode to the same project and encode to the same bytes again. The text must be exactly
// what QJsonDocument writes for the same records.

#include "reference_text.h"

#include "model/project_codec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace velmora;

namespace {

[[noreturn]] void fail(const char* what, const QString& detail = QString())
{
    std::fprintf(stderr, "%s %s\n", what, qPrintable(detail));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const Expected<ProjectData> first = decodeProject(input);
    if (!first)
        return 0;
    // The JSON reader refuses numbers it cannot hold, so a decoded project is always writable.
    const Expected<QByteArray> encoded = encodeProject(*first);
    if (!encoded)
        fail("a decoded project does not encode:", encoded.error().message);
    if (*encoded != testing::referenceText(*first))
        fail("the text differs from QJsonDocument's rendering of the same records");
    const Expected<ProjectData> second = decodeProject(*encoded);
    if (!second)
        fail("an encoded project does not decode:", second.error().message);
    if (!(*second == *first))
        fail("the project changed in a round trip");
    const Expected<QByteArray> again = encodeProject(*second);
    if (!again || *again != *encoded)
        fail("encoding is not deterministic");
    return 0;
}
