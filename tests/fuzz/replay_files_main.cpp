// Runs a file-format fuzz target over its corpus (the files of the folder
// given on the command line, else the corpus of the source tree), over random edits of every corpus file,
// and over seeded random texts built from the format's pieces, so that the
// ordinary test run covers the target without a fuzzing engine.

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace {

void run(const QByteArray &input)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(input.constData()), size_t(input.size()));
}

QByteArray edited(std::mt19937 &random, QByteArray text)
{
    static const char *const inserts[] = {"<*>", "----------", "\n", "\r\n", ",",
                                          "-",   "<*",         "\0", "1e5",  "nan"};
    std::uniform_int_distribution<int> edits(1, 8), kind(0, 4), insert(0, int(std::size(inserts)) - 1);
    const int n = edits(random);
    for (int i = 0; i < n && !text.isEmpty(); ++i) {
        const int at = std::uniform_int_distribution<int>(0, text.size() - 1)(random);
        switch (kind(random)) {
        case 0:
            text.remove(at, std::uniform_int_distribution<int>(1, 64)(random));
            break;
        case 1: {
            const char *piece = inserts[insert(random)];
            text.insert(at, QByteArray(piece, std::max<int>(1, int(std::strlen(piece)))));
            break;
        }
        case 2:
            text[at] = char(random());
            break;
        case 3:
            text.truncate(at);
            break;
        default:
            text.insert(at, text.mid(std::uniform_int_distribution<int>(0, text.size() - 1)(random), 200));
        }
    }
    return text;
}

QByteArray pieces(std::mt19937 &random)
{
    static const char *const parts[] = {"<*>",   "\n",       "\r", ",",     "----------", "-", "10",
                                        "11",    "0",        "+7", "12.5",  "x",          " ", "CH1,",
                                        "Bit7,", "300,302,", "-0", "1e-05", "2147483648"};
    std::uniform_int_distribution<int> count(0, 120), pick(0, int(std::size(parts)) - 1);
    QByteArray text;
    for (int i = count(random); i > 0; --i)
        text.append(parts[pick(random)]);
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    const QDir corpus(QString::fromLocal8Bit(argc > 1 ? argv[1] : QUORVEL_FILES_CORPUS));
    QList<QByteArray> seeds;
    for (const QString &name : corpus.entryList(QDir::Files, QDir::Name)) {
        QFile file(corpus.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            seeds.append(file.readAll());
    }
    if (seeds.isEmpty()) {
        std::fprintf(stderr, "no corpus in %s\n", qPrintable(corpus.path()));
        return 1;
    }

    std::mt19937 random(20261210);
    int inputs = 0;
    for (const QByteArray &seed : seeds) {
        run(seed);
        ++inputs;
        for (int i = 0; i < 300; ++i, ++inputs)
            run(edited(random, seed));
    }
    for (int i = 0; i < 3000; ++i, ++inputs)
        run(pieces(random));
    std::printf("%d inputs read within bounds and in agreement with the reference\n", inputs);
    return 0;
}
