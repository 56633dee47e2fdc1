#pragma once
// The window's only way into the engine: jobs queued on the engine's thread (the thread the
// TLinkor lives on), run between two ticks, never inside one. A job's progress and its end come
// back on the window's thread, and only while the object that asked for it still exists: a dialog
// closed meanwhile is simply not called.
#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

class QThread;
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
    // Stops the engine's thread, if it has one, waiting a while for it.
    ~TMotor() override;

    // The work runs on the engine's thread with the engine. `concluido` runs afterwards on the
    // window's thread while `dono` lives, with the message of what the work raised (empty when it
    // ran through). Nothing raised by either ever reaches Qt's event loop. Once the engine is
    // stopped no job runs any more.
    using TTrabalho = std::function<void(TLinkor&, const TRetorno&)>;
    using TConclusao = std::function<void(const QString& erro)>;
    void Executa(QObject* dono, TTrabalho trabalho, TConclusao concluido = {});

    TLinkor& Linkor() const { return FLinkor; }

    // Moves the engine (which must have no parent and live on this thread) onto a worker thread of
    // its own and starts it: from then on that thread alone calls the database and the driver.
    void IniciaThread();
    // Asks the engine to stop and waits at most `prazoMs` for its thread. At the end of its loop
    // the engine finalises itself there (timer off for good, serial link closed, database
    // detached) and comes back to this thread. True once the thread has ended (at once without a
    // thread of its own); false when it is still stuck in the database or on the line: it is then
    // left behind, never calls the driver again on its way out, and the caller ends the process.
    // May be called again to wait some more.
    // Half-way through the wait the engine's attachment is cancelled: whatever it waits for in the
    // database returns at once (nothing it began is committed) and it finalises itself in time.
    bool Para(int prazoMs);

    // Running: jobs start. Stopping: asked to stop, nothing queued starts any more. Stopped: the
    // engine finalised itself (or never had a thread). Abandoned: left behind while stuck.
    enum class TEstado { Rodando, Parando, Parado, Abandonado };
    TEstado Estado() const { return FEstado.load(); }
    bool Abandonado() const { return Estado() == TEstado::Abandonado; }

private:
    TLinkor& FLinkor;
    std::unique_ptr<QThread> FThread;
    // One state, changed only by compare-and-swap: the engine's thread finalising and the window
    // abandoning it can never both win.
    std::atomic<TEstado> FEstado{TEstado::Rodando};

    // Rodando -> Parando; true when this call asked.
    bool PedeParada();
};
