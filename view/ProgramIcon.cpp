#include "view/ProgramIcon.h"

#include <QFile>

namespace pwview {

QIcon ProgramIcon(const QString& program) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString file = QStringLiteral(":/icons/%1-%2.png").arg(program).arg(size);
        if (QFile::exists(file)) icon.addFile(file, QSize(size, size));
    }
    return icon;
}

}  // namespace pwview
