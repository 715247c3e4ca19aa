#include "check/KnownAnswers.h"

namespace check {

namespace {

// RFC 6986, section 10.1: the 63 digits.
constexpr std::string_view kM1 = "012345678901234567890123456789012345678901234567890123456789012";

} // namespace

const std::array<KnownDigest, 4> kKnownDigests = {{
    {"ГОСТ Р 34.11-94", CKM_GOSTR3411, "This is message, length=32 bytes",
     "«This is message, length=32 bytes»",
     "2cefc2f7b7bdc514e18ea57fa74ff357e7fa17d652c75f69cb1be7893ede48eb"},
    {"ГОСТ Р 34.11-94", CKM_GOSTR3411, "message digest", "«message digest»",
     "bc6041dd2aa401ebfa6e9886734174febdb4729aa972d60f549ac39b29721ba0"},
    {"ГОСТ Р 34.11-2012 (256 бит)", CKM_GOSTR3411_12_256, kM1, "M1 (RFC 6986)",
     "9d151eefd8590b89daa6ba6cb74af9275dd051026bb149a452fd84e5e57b5500"},
    {"ГОСТ Р 34.11-2012 (512 бит)", CKM_GOSTR3411_12_512, kM1, "M1 (RFC 6986)",
     "1b54d01a4af5b9d5cc3d86d68d285462b19abc2475222f35c085122be4ba1ffa"
     "00ad30f8767b3a82384c6574f024c311e2a481332b08ef7f41797891c1646f48"},
}};

} // namespace check
