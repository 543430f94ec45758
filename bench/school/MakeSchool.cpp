// kvalor-make-school SCALE FILE: writes the School data set at a scale from a thousandth (a few
// studies) to ten times the full set, for measuring by hand and for the tests.

#include <cstdio>

#include <QFile>
#include <QStringList>

#include "SchoolData.h"
#include "model/Kvalor.h"
#include "storage/DataFileLock.h"
#include "util/Error.h"

using namespace kvalor;

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args.append(QFile::decodeName(argv[i]));
    }
    if (args.size() != 2 || args[0].startsWith(u'-')) {
        std::fputs("Использование: kvalor-make-school МАСШТАБ ФАЙЛ\n", stderr);
        return 2;
    }
    try {
        bool valid = false;
        const double scale = args[0].toDouble(&valid);
        if (!valid || !(scale >= 0.001 && scale <= 10.0)) {
            throw KvalorError(QString::fromUtf8("Масштаб должен быть числом от 0.001 до 10: ") +
                              args[0]);
        }
        const DataFileLock lock(args[1]);
        TKvalor root;
        BuildSchoolData(root, SchoolShape::atScale(scale));
        root.SaveToFile(args[1]);
    } catch (const KvalorError& error) {
        std::fputs(("kvalor-make-school: " + error.message() + "\n").toUtf8().constData(), stderr);
        return 1;
    }
    return 0;
}
