// Find's search data files of any content. Whatever a file holds, opening
// and reading it never fails otherwise than by refusing it (open gives null)
// or by FindDataDamaged from a read, and nothing it holds is taken up
// unchecked: a file that opens and whose every block checks out answers as
// the sound file it was made as does.
//
// With bit 0 of the first byte clear, the rest of the input is the file's
// whole content. With it set, the rest is a list of edits to a sound file
// made of a few materials: each five bytes, an offset (32 bits,
// little-endian) and a byte to XOR there; an offset with its top bit set
// cuts the file there instead.
#include "store/finddata.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

using namespace zil;

namespace {

QTemporaryDir *s_dir = nullptr;
QByteArray s_sound;
QString s_answers;

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_finddata: %s\n", what);
        std::abort();
    }
}

QByteArray soundFile()
{
    const QByteArray names[] = {"Acetoin", "Benzaldehyde", "Cédrol", "gamma-Decalactone"};
    const QByteArray sortKeys[] = {"acetoin", "benzaldehyde", "cedrol", "decalactone"};
    const QByteArray cas[] = {"513-86-0", "100-52-7", "77-53-2", ""};
    const QByteArray fema[] = {"2008", "2127", "4530", "2360"};
    const QByteArray synonyms[] = {"3-Hydroxy-2-butanone", "Bitter almond oil, synthetic",
        "Cedranol", "Aldehyde C-14", "4-Decanolide"};
    std::vector<store::FindSourceMaterial> m;
    for (int i = 0; i < 4; ++i)
        m.push_back({names[i], cas[i], fema[i], QByteArrayView(), sortKeys[i]});
    std::vector<store::FindSourceSynonym> s;
    for (const QByteArray &text : synonyms)
        s.push_back({text, QByteArrayView()});
    return store::buildFindData(m, s, {0, 1, 2, 3}, store::TableIdentity {1000, 2000, 7, 3},
        store::TableIdentity {500, 2000, 7, 4});
}

// Everything the file answers, as one text; empty for a file refused or
// found damaged.
QString answers(const store::FindData &data)
{
    QString out;
    try {
        const qint32 n = data.materialCount();
        if (n > 64 || data.synonymCount() > 64)
            return QStringLiteral("large");
        for (qint32 id = 1; id <= n; ++id) {
            const store::FindData::Shown s = data.shown(id);
            out += s.name + s.cas + s.fema + s.ce + QLatin1Char('|');
            const store::FindData::Folded &f = data.folded(id);
            out += QString::fromUtf8(f.casKey.data(), qsizetype(f.casKey.size()));
            for (const store::FindData::Entry &e : f.entries)
                out += QStringLiteral("%1:%2:%3;")
                           .arg(QString::fromUtf8(e.text.data(), qsizetype(e.text.size())))
                           .arg(e.stem)
                           .arg(e.synonym);
        }
        for (qint32 i = 0; i < data.synonymCount(); ++i)
            out += data.synonym(i);
        store::MaterialBits exact, begins, contains;
        for (const char *key :
            {"1", "2127", "77-53-2", "7753", "a", "de", "lac", "zzz", "lactone", "ald"}) {
            for (store::MaterialBits *b : {&exact, &begins, &contains})
                b->reset(n);
            for (auto number : {store::FindData::Number::CasKey, store::FindData::Number::CasDigits,
                     store::FindData::Number::Fema, store::FindData::Number::Ce})
                data.numbersFrom(number, key, exact, begins);
            const std::string_view run(key);
            if (run.size() <= store::FindData::longestRun)
                data.materialsWithRun(run, &contains, &begins);
            else if (store::FindData::isWord(run))
                data.materialsWithWordPart(run, contains, begins);
            data.materialsWithRun("ald", &contains, nullptr, true);
            for (qint32 id = 1; id <= n; ++id)
                out += QString::number(
                    int(exact.test(id)) | int(begins.test(id)) << 1 | int(contains.test(id)) << 2);
        }
    } catch (const store::FindDataDamaged &) {
        return {};
    }
    return out;
}

void runInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return;
    QByteArray file;
    if (data[0] & 1) {
        file = s_sound;
        for (size_t i = 1; i + 5 <= size && !file.isEmpty(); i += 5) {
            quint32 at = quint32(data[i]) | quint32(data[i + 1]) << 8 | quint32(data[i + 2]) << 16
                | quint32(data[i + 3]) << 24;
            if (at & 0x80000000u) {
                file.truncate(qsizetype((at & 0x7FFFFFFFu) % quint32(file.size())));
            } else {
                at %= quint32(file.size());
                file[at] = char(file[at] ^ data[i + 4]);
            }
        }
    } else {
        file = QByteArray(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    }
    const QString path = s_dir->filePath(QStringLiteral("material.xfd"));
    {
        QFile f(path);
        check(f.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the file");
        f.write(file);
    }
    // Read in place from the file, and whole from memory.
    if (const auto opened = store::FindData::open(path)) {
        const QString a = answers(*opened);
        if (opened->verifyAll() && file == s_sound)
            check(a == s_answers, "the sound file answers otherwise");
    }
    if (const auto held = store::FindData::fromBytes(file)) {
        const QString a = answers(*held);
        if (file == s_sound)
            check(a == s_answers, "the sound file answers otherwise from memory");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    s_dir = new QTemporaryDir;
    s_sound = soundFile();
    const auto sound = store::FindData::fromBytes(s_sound);
    check(sound != nullptr, "the sound file is refused");
    s_answers = answers(*sound);
    check(!s_answers.isEmpty() && s_answers.contains(QStringLiteral("Benzaldehyde")),
        "the sound file does not answer");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    runInput(data, size);
    return 0;
}
