#pragma once
#include <QString>
#include <QStringList>
#include <array>

// The numbered drawings of a serial cut: one file per number 0..9999, the
// number being the whole name before the extension ("007.plt" is 7). A name
// that only begins with a number ("7_old.plt") is not part of the series.
class SerialFileTable {
public:
    static constexpr int kSize = 10000;

    // The number of a file name, or -1 when the name is not all digits or the
    // number lies outside the table.
    static int NumberOf(const QString& fileName);

    void Clear();
    // Puts a file name at its number. Names are taken in sorted order by Fill,
    // so of two names with one number ("7.plt", "007.plt") the same one wins
    // every time.
    void Place(const QString& fileName);
    // Every file of the folder with the extension (case ignored).
    void Fill(const QString& folder, const QString& extension);
    const QString& At(int number) const { return m_names[static_cast<size_t>(number)]; }

private:
    std::array<QString, kSize> m_names;
};
