// The template-index reader.
#include "recordsfuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return fuzzRecords<Template>(data, size);
}
