#include "Vigia.h"

#include "Firebird.h"

using namespace Firebird;

TVigia::~TVigia()
{
    {
        const std::lock_guard trava(FTrava);
        FParar = true;
    }
    FSinal.notify_all();
    if (FLinha.joinable())
        FLinha.join();
    DefineAnexo(nullptr);
}

void TVigia::DefineAnexo(IAttachment* anexo)
{
    const std::lock_guard trava(FTrava);
    if (anexo)
        anexo->addRef();
    if (FAnexo)
        FAnexo->release();
    FAnexo = anexo;
    FMotivo = TMotivoAborto::Nenhum;
}

void TVigia::DefineLimite(std::chrono::milliseconds limite)
{
    const std::lock_guard trava(FTrava);
    FLimite = limite;
}

std::chrono::milliseconds TVigia::Limite() const
{
    const std::lock_guard trava(FTrava);
    return FLimite;
}

void TVigia::Arma()
{
    const std::lock_guard trava(FTrava);
    if (FNivel++ > 0)
        return;
    FPrazo = TRelogio::now() + FLimite;
    ++FSerie;
    if (!FLinha.joinable() && FAnexo) // nothing to abort otherwise
        FLinha = std::thread([this] { Vigia(); });
    // A watchdog waiting for an earlier deadline finds this one when it wakes: statements in
    // quick succession cost no wake-up each.
    if (FDormindo || FPrazo < FPrazoVigiado)
        FSinal.notify_all();
}

void TVigia::Desarma()
{
    const std::lock_guard trava(FTrava);
    if (FNivel > 0)
        --FNivel;
}

void TVigia::Cancela()
{
    const std::lock_guard trava(FTrava);
    AbortaComTrava(TMotivoAborto::Cancelado);
}

TMotivoAborto TVigia::Motivo() const
{
    const std::lock_guard trava(FTrava);
    return FMotivo;
}

void TVigia::AbortaComTrava(TMotivoAborto motivo)
{
    if (!FAnexo || FMotivo != TMotivoAborto::Nenhum)
        return;
    FMotivo = motivo;
    // A remote attachment closes its socket; an embedded one is shut down. Either way the call
    // under way returns with a connection error, and so does every later one.
    CheckStatusWrapper st(MestreFirebird()->getStatus());
    FAnexo->cancelOperation(&st, fb_cancel_abort);
    st.dispose();
}

void TVigia::Vigia()
{
    std::unique_lock trava(FTrava);
    while (!FParar) {
        if (FNivel == 0 || FMotivo != TMotivoAborto::Nenhum) {
            FDormindo = true;
            FSinal.wait(trava);
            FDormindo = false;
            continue;
        }
        const auto prazo = FPrazoVigiado = FPrazo;
        const auto serie = FSerie;
        FSinal.wait_until(trava, prazo);
        if (!FParar && FNivel > 0 && FSerie == serie && TRelogio::now() >= prazo)
            AbortaComTrava(TMotivoAborto::Prazo);
    }
}
