#include "app/NetworkRun.h"

#include <utility>

#include <QDir>

#include "app/NetworkSettings.h"
#include "ui/ErrorGuard.h"
#include "ui/ProgramCaption.h"
#include "ui/Prompts.h"

namespace kvalor {

namespace {

// Runs a call to the server, raising its failure with what was being done and where.
template <class F>
void naming(const QString& what, F&& call) {
    try {
        std::forward<F>(call)();
    } catch (const ServerConflict&) {
        throw;
    } catch (const KvalorError& error) {
        throw KvalorError(what + QStringLiteral(":\n") + error.message());
    }
}

}  // namespace

NetworkRun::NetworkRun(ServerAddress where) : where_(std::move(where)) {}

NetworkRun::~NetworkRun() = default;

QString NetworkRun::ServerName() const {
    const QString address = ShownAddress(where_.address);
    return where_.port.isEmpty() ? address : QStringLiteral("%1:%2").arg(address, where_.port);
}

TServerStore& NetworkRun::Store() {
    if (!store_) {
        store_ = std::make_unique<TServerStore>(where_);
    }
    return *store_;
}

void NetworkRun::Load(TKvalor& root, const Progress& progress) {
    naming(QStringLiteral("Не удалось загрузить данные с сервера %1").arg(ServerName()), [&] {
        // A connection that failed is not kept: the next load tries afresh.
        try {
            Store().Load(root, true, progress);
            loadedSeq_ = Store().LastStudySeq();
        } catch (...) {
            store_.reset();
            throw;
        }
    });
}

void NetworkRun::Save(const TKvalor& root) {
    naming(QStringLiteral("Не удалось сохранить данные на сервере %1").arg(ServerName()),
           [&] { Store().Save(root); });
}

void NetworkRun::WriteStudy(const TStudy& study) {
    naming(
        QStringLiteral("Не удалось записать результат тестирования на сервер %1").arg(ServerName()),
        [&] { Store().WriteStudy(study); });
}

bool NetworkRun::OfferReload(const QString& reason, const QString& otherwise) {
    return confirmDestructive(
        withFullStop(reason) +
            QStringLiteral(
                "\n\nЗагрузить данные с сервера заново? Несохранённые изменения тестов, "
                "пользователей и заданий, сделанные на этом компьютере, и удаления из журнала "
                "пропадут: их заменит то, что сохранено на сервере. Результаты тестирования "
                "этого компьютера сохранятся.\n«Нет» - %1")
                .arg(otherwise),
        kProgramCaption, QMessageBox::Warning);
}

}  // namespace kvalor

namespace kvalor {

QString NetworkRun::KeptForNextStart(const QString& recoveryFile) {
    return QStringLiteral(
               "; результаты тестирования, которых нет на сервере, останутся в файле %1 и будут "
               "отправлены при следующем запуске")
        .arg(QDir::toNativeSeparators(recoveryFile));
}

QMessageBox::StandardButton NetworkRun::AskAtFailedEnd(const QString& failure,
                                                       const QString& kept) {
    return prompts().ask(failure + QStringLiteral("\n\n«Повторить» - попытаться снова, устранив "
                                                  "причину.\n«Сохранить» - сохранить данные этой "
                                                  "работы в файл.\n«Пропустить» - не сохранять: "
                                                  "несохранённые изменения этой работы пропадут%1.")
                                       .arg(kept),
                         kProgramCaption, QMessageBox::Critical,
                         QMessageBox::Retry | QMessageBox::Save | QMessageBox::Ignore,
                         QMessageBox::Retry);
}

}  // namespace kvalor
