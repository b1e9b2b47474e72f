#include "app/Globals.h"
#include "app/HostInfo.h"
#include "app/Translator.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(HostInfo, VersionTextHasTwoToFourNumbers)
{
    const QString full = VersionText(true, true);
    EXPECT_EQ(full.split('.').size(), 4);
    EXPECT_TRUE(full.startsWith(VersionText(false, false) + "."));
    EXPECT_EQ(VersionText(true, false).split('.').size(), 3);
    QString os;
    EXPECT_TRUE(WindowsVersionText(os));
    EXPECT_TRUE(os.contains(" [ver. "));
}

TEST(HostInfo, SideFileTriesBokThenSide)
{
    TempProgramDir dir(false);
    const QString wing = dir.Write("wing.plt", "PU;");
    QString side;
    EXPECT_FALSE(FindSideFile(wing, side));
    EXPECT_EQ(side, dir.File("wing_side.plt"));
    dir.Write("wing_side.plt", "PU;");
    EXPECT_TRUE(FindSideFile(wing, side));
    EXPECT_EQ(side, dir.File("wing_side.plt"));
    dir.Write("wing_bok.plt", "PU;");
    EXPECT_TRUE(FindSideFile(wing, side));
    EXPECT_EQ(side, dir.File("wing_bok.plt"));
}

TEST(HostInfo, DocumentsFollowLanguageAndBrand)
{
    ScopedTranslator pl("PL");
    TempProgramDir dir(false);
    const QString savedBrand = DealerBrandName;
    QString path;

    DealerBrandName = "DRAVINOR";
    EXPECT_FALSE(ManualPath(path));
    EXPECT_EQ(path, dir.File("Pelvartonix_manual_US.pdf"));
    dir.Write("Pelvartonix_manual_PL.pdf", "%PDF");
    EXPECT_TRUE(ManualPath(path));
    EXPECT_EQ(path, dir.File("Pelvartonix_manual_PL.pdf")) << "DRAVINOR means the maker's own files";

    DealerBrandName = "ACME";
    EXPECT_FALSE(ManualPath(path));
    EXPECT_TRUE(path.isEmpty());
    dir.Write("Pelvartonix_manual_US_ACME.pdf", "%PDF");
    EXPECT_TRUE(ManualPath(path));
    EXPECT_EQ(path, dir.File("Pelvartonix_manual_US_ACME.pdf"));

    EXPECT_FALSE(CataloguePath(path));
    dir.Write("Catalogue_PL_ACME.pdf", "%PDF");
    EXPECT_TRUE(CataloguePath(path));
    EXPECT_TRUE(BrandCataloguePath(path));
    DealerBrandName.clear();
    EXPECT_FALSE(BrandCataloguePath(path));
    EXPECT_FALSE(CataloguePath(path));
    dir.Write("Catalogue_US.pdf", "%PDF");
    EXPECT_TRUE(CataloguePath(path));

    EXPECT_FALSE(SamplesFolder(path));
    QDir(dir.Path()).mkdir("Samples");
    EXPECT_TRUE(SamplesFolder(path));
    EXPECT_EQ(path, dir.File("Samples")) << "a Polish installation without its own examples";
    QDir(dir.Path()).mkdir("Projekty probne");
    EXPECT_TRUE(SamplesFolder(path));
    EXPECT_EQ(path, dir.File("Projekty probne"));
    DealerBrandName = savedBrand;
}

TEST(HostInfo, FileSizeTextRoundsHalvesToEven)
{
    EXPECT_EQ(FileSizeTextForBytes(1023), "1023b");
    EXPECT_EQ(FileSizeTextForBytes(1024), "1KB");
    EXPECT_EQ(FileSizeTextForBytes(2560), "2KB");
    EXPECT_EQ(FileSizeTextForBytes(3584), "4KB");
    EXPECT_EQ(FileSizeTextForBytes(1048576 * 5 / 2), "2MB");
    EXPECT_THROW(FileSizeText("/nonexistent/file"), std::runtime_error);
}
