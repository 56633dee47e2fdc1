#pragma once
// The window's only way into the engine: jobs queued on the engine's thread (the thread the
// TLinkor lives on), run between two ticks, never inside one. A job's progress and its end come
// back on the window's thread, and only while the object that asked for it still exists: a dialog
// closed meanwhile is simply not called.
#include <QObject>
#include <QPointer>

#include <functional>

class TLinkor;

// Made on the window's thread for one job; the job hands it what the window must run.
class TRetorno {
public:
    TRetorno(QObject* correio, QPointer<QObject> dono) : FCorreio(correio), FDono(std::move(dono)) {}
    // Runs `funcao` on the window's thread, unless the asker is gone by then. Callable from the
    // engine's thread; never waits.
    void operator()(std::function<void()> funcao) const;

private:
    QObject* FCorreio; // lives on the window's thread for the whole run
    QPointer<QObject> FDono;
};

class TMotor : public QObject {
    Q_OBJECT
public:
    // Lives on the window's thread; `linkor` may live on another one.
    explicit TMotor(TLinkor& linkor, QObject* parent = nullptr);

    // The work runs on the engine's thread with the engine. `concluido` runs afterwards on the
    // window's thread while `dono` lives, with the message of what the work raised (empty when it
    // ran through). Nothing raised by either ever reaches Qt's event loop.
    using TTrabalho = std::function<void(TLinkor&, const TRetorno&)>;
    using TConclusao = std::function<void(const QString& erro)>;
    void Executa(QObject* dono, TTrabalho trabalho, TConclusao concluido = {});

    TLinkor& Linkor() const { return FLinkor; }

private:
    TLinkor& FLinkor;
};
