#include "settings/layoutfont.h"

#include "settings/layoutrecord.h"

#include <gtest/gtest.h>

namespace {

TEST(LayoutFont, StringForm)
{
    const LayoutFont standard;
    EXPECT_EQ(standard.toString(), QStringLiteral("0:-11:MS Sans Serif:0:8"));
    EXPECT_TRUE(LayoutFont::fromString(QStringLiteral("0:-11:MS Sans Serif:0:8")) == standard);

    const LayoutFont mono = LayoutFont::fromString(QStringLiteral("8421504:-13:FixedSys:2:10"));
    EXPECT_EQ(mono.colour, 8421504);
    EXPECT_EQ(mono.height, -13);
    EXPECT_EQ(mono.face, QStringLiteral("FixedSys"));
    EXPECT_EQ(mono.pitch, LayoutFont::FixedPitch);
    EXPECT_EQ(mono.size, 10);
    EXPECT_EQ(mono.toString(), QStringLiteral("8421504:-13:FixedSys:2:10"));

    // A face name holding the separators of either record loses them, so that the string
    // keeps its five parts and the layout record its 38 fields.
    LayoutFont odd;
    odd.face = QStringLiteral("Odd:Face*Name");
    EXPECT_EQ(odd.toString(), QStringLiteral("0:-11:OddFaceName:0:8"));
    LayoutRecord layout;
    layout.font = odd;
    const LayoutRecord reread = LayoutRecord::fromRecord(layout.toRecord());
    EXPECT_EQ(reread.font.face, QStringLiteral("OddFaceName"));
    EXPECT_EQ(reread.font.size, 8);

    // A string that ends early keeps the remaining parts.
    const LayoutFont shortForm = LayoutFont::fromString(QStringLiteral("255:-20"));
    EXPECT_EQ(shortForm.colour, 255);
    EXPECT_EQ(shortForm.height, -20);
    EXPECT_EQ(shortForm.face, QStringLiteral("MS Sans Serif"));
    EXPECT_EQ(shortForm.size, 8);
}

} // namespace
