// Entropy of a text a rule hands over: computed here, nothing asked of the
// host or the system.
#include "entropy_calculation.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"

namespace ScanEngine::File {

std::int64_t Entropy(Invocation& call) {
    const auto length = call.args.GetIntegerAddressIfGiven(arg::length);
    // The text is required, so the parser has seen it; a host that still
    // hands over no bytes gets the answer for the empty text.
    const TextEntropy measured = MeasureEntropy(call.args.GetStringView(arg::text));
    if (length) length->Assign(measured.length);
    return measured.entropy;
}

}  // namespace ScanEngine::File
