// Telemetry events. Detection and feature events get a body built here from
// the rule's arguments; a rule-made JSON event goes to the host unchanged.
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "telemetry_body.h"

namespace ScanEngine::Policy {
namespace {

class MemberWriter {
public:
    explicit MemberWriter(const ArgParse& args) : args_(args) {}

    void String(ArgName arg) { body_.AddString(arg.name, args_.GetString(arg)); }
    void Integer(ArgName arg) { body_.AddInteger(arg.name, args_.GetInteger(arg)); }
    void StringIfGiven(ArgName arg) {
        if (args_.IsGiven(arg)) String(arg);
    }
    void IntegerIfGiven(ArgName arg) {
        if (args_.IsGiven(arg)) Integer(arg);
    }
    std::string Finish() && { return std::move(body_).Finish(); }

private:
    const ArgParse& args_;
    TelemetryBody body_;
};

}  // namespace

std::int64_t SendTelemetry(Invocation& call) {
    MemberWriter body(call.args);
    body.String(arg::threat);
    body.Integer(arg::rule);
    body.Integer(arg::silent);
    for (ArgName arg : {arg::md5, arg::sha1, arg::sha256, arg::path, arg::cmdline}) body.String(arg);
    for (ArgName arg : {arg::path_parent, arg::md5_parent, arg::sha1_parent, arg::sha256_parent})
        body.StringIfGiven(arg);
    body.IntegerIfGiven(arg::file_critical);
    return call.library.SendDetectionTelemetry(std::move(body).Finish());
}

std::int64_t SendFeaturesTelemetry(Invocation& call) {
    MemberWriter body(call.args);
    body.String(arg::feature_name);
    body.Integer(arg::feature_version);
    body.String(arg::feature_value);
    body.Integer(arg::file_size);
    for (ArgName arg : {arg::md5, arg::sha1, arg::sha256, arg::path}) body.String(arg);
    for (ArgName arg : {arg::path_parent, arg::sha256_parent}) body.StringIfGiven(arg);
    return call.library.SendFeatureTelemetry(std::move(body).Finish());
}

std::int64_t SendJsonTelemetry(Invocation& call) {
    return call.library.SendTelemetry(call.args.GetString(arg::event_type),
                                      call.args.GetString(arg::telemetry_json_body));
}

}  // namespace ScanEngine::Policy
