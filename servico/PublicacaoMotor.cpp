#include "PublicacaoMotor.h"

#include "Linkor.h"

TPublicacaoMotor::TPublicacaoMotor(TLinkor& linkor, TPostoPublicado& posto) : FLinkor(linkor), FPosto(posto)
{
    TCicloLeitura& ciclo = linkor.Ciclo();
    // Lines keep their order: every hand-over is queued from the engine's thread to the posto's.
    QObject::connect(&ciclo, &TCicloLeitura::LogRecarregado, &posto, &TPostoPublicado::DefineDia);
    QObject::connect(&ciclo, &TCicloLeitura::LinhaLogEscrita, &posto, &TPostoPublicado::AcrescentaLinha);
    QObject::connect(&ciclo, &TCicloLeitura::TiqueConcluido, &ciclo, [this] { Observa(); }, Qt::DirectConnection);
    QObject::connect(&ciclo, &TCicloLeitura::TextoStatusAlterado, &ciclo, [this] { Observa(); }, Qt::DirectConnection);
    QObject::connect(&ciclo, &TCicloLeitura::AvisoAlterado, &ciclo, [this] { Observa(); }, Qt::DirectConnection);
}

void TPublicacaoMotor::Observa()
{
    const TCicloLeitura& ciclo = FLinkor.Ciclo();
    TPostoPublicado::TEstado estado;
    estado.Status = TPostoPublicado::SemAnimacao(ciclo.TextoStatus());
    estado.Aviso = ciclo.Aviso();
    estado.TipoAviso = ciclo.TipoAviso();
    estado.Aguardando = ciclo.AbastecimentosAguardando();
    estado.Retidos = ciclo.AbastecimentosRetidos();
    estado.IntervaloLeitura = ciclo.IntervaloLeitura() / 1000;
    estado.ModoTag = ciclo.UsaFid();
    if (FAlgumPublicado && estado == FUltimo)
        return;
    FUltimo = estado;
    FAlgumPublicado = true;
    TPostoPublicado* posto = &FPosto;
    QMetaObject::invokeMethod(posto, [posto, estado] { posto->DefineEstado(estado); }, Qt::QueuedConnection);
}
