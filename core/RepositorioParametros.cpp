#include "RepositorioParametros.h"

#include "Contexto.h"
#include "Erro.h"

TRepositorioParametros::TRepositorioParametros(TContexto& contexto)
    : FContexto(contexto), FParaPosto(&contexto.CnTankora()), FSequenciaAbast(&contexto.CnTankora()),
      FAtualizaSequencia(&contexto.CnTankora()), FAlteraTempo(&contexto.CnTankora())
{
    FParaPosto.setObjectName(QStringLiteral("ParaPosto"));
    FParaPosto.DefineSQL(QStringLiteral("Select SequenciaAbast, AcertaDataConc, PortaConc, ImpreDescBico, \n"
                                        "UsaConcentrador, CorrigeLitragem, visualizastatusbomba, TEMPOLECONCENTRADOR\n"
                                        "From ParaPosto"));
    FSequenciaAbast.setObjectName(QStringLiteral("SequenciaAbast"));
    FSequenciaAbast.DefineSQL(QStringLiteral("Select SequenciaAbast From ParaPosto"));
    FAlteraTempo.setObjectName(QStringLiteral("qryAlteraTempo"));
    FAlteraTempo.DefineSQL(QStringLiteral("UPDATE paraposto set paraposto.tempoleconcentrador = :PTempo"));
}

void TRepositorioParametros::Abre()
{
    TConexao& conexao = FContexto.CnTankora();
    if (!conexao.Conectado())
        conexao.Conecta();
    FParaPosto.Abre();
    FSequenciaAbast.Abre();
    FSequenciaNula = FSequenciaAbast.Vazia() || FSequenciaAbast.CampoNulo(QStringLiteral("SequenciaAbast"));
    FSequenciaLida = FSequenciaAbast.Vazia() ? 0 : FSequenciaAbast.CampoInteiro(QStringLiteral("SequenciaAbast"));
}

QString TRepositorioParametros::Texto(const QString& campo) const
{
    return FParaPosto.CampoTexto(campo);
}

qint64 TRepositorioParametros::Inteiro(const QString& campo) const
{
    return FParaPosto.CampoInteiro(campo);
}

int TRepositorioParametros::ReabreParametros()
{
    if (FSequenciaAlterada) {
        FParaPosto.Fecha();
        FParaPosto.Abre();
    }
    return static_cast<int>(FParaPosto.CampoInteiro(QStringLiteral("SequenciaAbast")));
}

void TRepositorioParametros::AtualizaSequencia()
{
    const qint64 lida = FSequenciaPendente.value_or(FSequenciaLida);
    const bool nula = FSequenciaNula && !FSequenciaPendente;
    try {
        // The row is found by the value it was read with: a counter that another program changed
        // meanwhile is refused, never overwritten.
        if (nula) {
            FAtualizaSequencia.DefineSQL(
                QStringLiteral("Update ParaPosto Set SequenciaAbast = :PNova Where SequenciaAbast Is Null"));
        } else {
            FAtualizaSequencia.DefineSQL(
                QStringLiteral("Update ParaPosto Set SequenciaAbast = :PNova Where SequenciaAbast = :PLida"));
            FAtualizaSequencia.DefineInteiro(QStringLiteral("PLida"), lida);
        }
        FAtualizaSequencia.DefineInteiro(QStringLiteral("PNova"), lida + 1);
        if (FAtualizaSequencia.Executa() == 0)
            throw EErro(QStringLiteral("a sequência foi alterada por outro programa"));
    } catch (const std::exception&) {
        throw EErro(QStringLiteral("Erro ao Atualizar a Sequência de Abastecimentos."));
    }
    FSequenciaPendente = lida + 1;
    FSequenciaAlterada = true;
}

void TRepositorioParametros::ConfirmaSequencia()
{
    if (!FSequenciaPendente)
        return;
    FSequenciaLida = *FSequenciaPendente;
    FSequenciaNula = false;
    FSequenciaPendente.reset();
}

void TRepositorioParametros::DescartaSequencia()
{
    FSequenciaPendente.reset();
}

void TRepositorioParametros::AlteraTempoLeitura(qint64 segundos)
{
    FAlteraTempo.Fecha();
    FAlteraTempo.DefineInteiro(QStringLiteral("PTempo"), segundos);
    TGuardaTransacao transacao(FContexto.CnTankora());
    FAlteraTempo.Executa();
    transacao.Confirma();
}
