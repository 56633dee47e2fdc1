#pragma once
// Bounds the calls a connection makes to the database. A call that gets no answer past its deadline
// (a network path that stopped answering keeps the socket open, so the client would wait for ever)
// has its attachment aborted from the watchdog's own thread: the client side of the connection is
// closed and the call returns with an error. The same abort is offered to any thread (Cancela).
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace Firebird {
class IAttachment;
}

enum class TMotivoAborto {
    Nenhum,
    Prazo,     // the call outlived its deadline
    Cancelado, // another thread asked for it
};

class TVigia {
public:
    TVigia() = default;
    ~TVigia();
    TVigia(const TVigia&) = delete;
    TVigia& operator=(const TVigia&) = delete;

    // The attachment to abort (null when there is none). Holds a reference of its own, so an abort
    // racing with a detach never touches a freed object. Clears the abort's reason.
    void DefineAnexo(Firebird::IAttachment* anexo);
    void DefineLimite(std::chrono::milliseconds limite);
    std::chrono::milliseconds Limite() const;

    // One watched call; nested calls run under the outermost call's deadline.
    void Arma();
    void Desarma();
    // Aborts the attachment now, whether a call is running or not; any thread.
    void Cancela();
    // Why the attachment was aborted since it was set; Nenhum when it was not.
    TMotivoAborto Motivo() const;

private:
    using TRelogio = std::chrono::steady_clock;
    mutable std::mutex FTrava;
    std::condition_variable FSinal;
    std::thread FLinha; // started by the first watched call
    Firebird::IAttachment* FAnexo = nullptr;
    std::chrono::milliseconds FLimite{10000}; // set by the connection
    int FNivel = 0;
    TRelogio::time_point FPrazo;
    TRelogio::time_point FPrazoVigiado; // the deadline the watchdog sleeps until
    unsigned long long FSerie = 0; // one per outermost call
    TMotivoAborto FMotivo = TMotivoAborto::Nenhum;
    bool FParar = false;
    bool FDormindo = false; // waiting for a call, no deadline

    void Vigia();
    void AbortaComTrava(TMotivoAborto motivo);
};

// Arms the watchdog for one scope.
class TChamadaVigiada {
public:
    explicit TChamadaVigiada(TVigia& vigia) : FVigia(vigia) { FVigia.Arma(); }
    ~TChamadaVigiada() { FVigia.Desarma(); }
    TChamadaVigiada(const TChamadaVigiada&) = delete;
    TChamadaVigiada& operator=(const TChamadaVigiada&) = delete;

private:
    TVigia& FVigia;
};
