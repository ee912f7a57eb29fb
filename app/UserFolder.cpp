#include "app/UserFolder.h"

#include <QDir>

#include <filesystem>
#include <system_error>

bool UserFolder::Enter(const QString& home, QString& error) {
    const std::filesystem::path folder = QDir(home).filePath(kName).toStdString();
    std::error_code failure;
    std::filesystem::create_directories(folder, failure);
    if (!failure) {
        std::filesystem::current_path(folder, failure);
    }
    if (failure) {
        error = QString::fromStdString(failure.message());
        return false;
    }
    return true;
}
