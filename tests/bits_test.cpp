// The same bits whatever the build: the module against its own source
// built plainly on this machine, result by result, so that a build that
// changes the arithmetic (a fused multiply-add, a reordering) fails
// wherever it runs, while a maths library with other last bits does not.
// The recorded hashes add a check of the source itself (a reordered
// expression changes both builds alike) where the maths library is the
// recorded one, which its own fingerprint tells.
#include <gtest/gtest.h>

#include "bits.h"
#include "hashes.h"

namespace {

TEST(SameBits, AsTheModuleBuiltPlainly)
{
    long differ = 0, pairs = 0;
    hash_pairs([&](float a, float o, float t, float s) {
        Results got = results(built, a, o, t, s), want = results(plain, a, o, t, s);
        pairs++;
        for (int i = 0; i < 7; i++) {
            bool same = got.f[i] == want.f[i] && got.d[i] == want.d[i];
            if (!same && ++differ <= 5)
                ADD_FAILURE() << "pair (" << a << ", " << o << ", " << t << ", " << s
                              << "), result " << i << ": float bits " << std::hex << got.f[i]
                              << " vs " << want.f[i] << ", double bits " << got.d[i] << " vs "
                              << want.d[i];
        }
    });
    EXPECT_EQ(differ, 0) << "results whose bits differ from the plain build's, over " << pairs
                         << " pairs";
}

TEST(SameBits, AsRecordedWhereTheMathsLibraryIsTheRecordedOne)
{
    uint64_t maths = maths_fingerprint();
    if (maths != recorded_maths_fingerprint)
        GTEST_SKIP() << "this maths library's last bits are not those the hashes were recorded "
                        "with (x86-64 glibc, FMA routines; fingerprint 0x"
                     << std::hex << maths
                     << "); the comparison with the plain build holds here instead";
    Hashes got;
    hash_pairs([&](float a, float o, float t, float s) { got.add(results(built, a, o, t, s)); });
    EXPECT_EQ(got.floats, recorded_float_hash) << std::hex << "0x" << got.floats;
    EXPECT_EQ(got.doubles, recorded_double_hash) << std::hex << "0x" << got.doubles;
}

}  // namespace
