// Verify asks the helper for `zpool scrub` and `zpool scrub -s` of one pool,
// exactly as the scrub unit builds them, and for nothing more.
#include "helper/HelperPolicy.h"
#include "zpool/ZpoolScrub.h"

#include <gtest/gtest.h>

TEST(ScrubPolicy, OnlyTheUnitsTwoFormsOfOnePoolPass)
{
    HelperPolicy::Context c;
    c.zpoolPaths = {"/usr/sbin/zpool"};
    const auto allowed = [&](const QStringList& args) { return HelperPolicy::check("/usr/sbin/zpool", args, c).allowed; };
    EXPECT_TRUE(allowed(ZpoolScrub::arguments("tank")));
    EXPECT_TRUE(allowed(ZpoolScrub::stopArguments("tank")));
    for (const QStringList& args : {QStringList{"scrub"}, QStringList{"scrub", "tank", "photos"},
                                    QStringList{"scrub", "-p", "tank"}, QStringList{"scrub", "-s"},
                                    QStringList{"scrub", "/dev/disk2"}, QStringList{"scrub", "--", "tank"}})
        EXPECT_FALSE(allowed(args)) << args.join(' ').toStdString();
}
