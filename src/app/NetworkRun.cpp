#include "app/NetworkRun.h"

#include <utility>

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

bool NetworkRun::OfferReload(const ServerConflict& conflict) {
    return confirmDestructive(
        withFullStop(conflict.message()) +
            QStringLiteral(
                "\n\nЗагрузить данные с сервера заново? Несохранённые изменения тестов, "
                "пользователей и заданий, сделанные на этом компьютере, и удаления из журнала "
                "пропадут: их заменит то, что сохранено на сервере. Результаты тестирования "
                "этого компьютера сохранятся.\n«Нет» - оставить изменения несохранёнными."),
        kProgramCaption, QMessageBox::Warning);
}

}  // namespace kvalor
