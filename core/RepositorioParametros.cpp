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
    GuardaLinha();
    LeSequencia();
}

void TRepositorioParametros::Rele()
{
    FParaPosto.Fecha();
    FParaPosto.Abre();
    GuardaLinha();
    // A value written in the open transaction is what the next advance starts from. The row just
    // read holds the counter too: no second query for it.
    if (!FSequenciaPendente)
        GuardaSequencia(FParaPosto);
}

void TRepositorioParametros::LeSequencia()
{
    FSequenciaAbast.Abre();
    GuardaSequencia(FSequenciaAbast);
}

void TRepositorioParametros::GuardaSequencia(const TConsulta& consulta)
{
    FSequenciaNula = consulta.Vazia() || consulta.CampoNulo(QStringLiteral("SequenciaAbast"));
    FSequenciaLida = consulta.Vazia() ? 0 : consulta.CampoInteiro(QStringLiteral("SequenciaAbast"));
}

void TRepositorioParametros::GuardaLinha()
{
    FLinhaAtual = true;
    FLinha.clear();
    FSemLinha = FParaPosto.Vazia();
    for (const char* campo : {"SequenciaAbast", "AcertaDataConc", "PortaConc", "ImpreDescBico", "UsaConcentrador",
                              "CorrigeLitragem", "visualizastatusbomba", "TEMPOLECONCENTRADOR"}) {
        const QString nome = QString::fromLatin1(campo);
        const bool numero = nome == QLatin1String("SequenciaAbast") || nome == QLatin1String("TEMPOLECONCENTRADOR");
        FLinha.insert(nome.toUpper(),
                      {FParaPosto.CampoTexto(nome), numero ? FParaPosto.CampoInteiro(nome) : qint64(0)});
    }
}

QString TRepositorioParametros::Texto(const QString& campo) const
{
    if (!FParaPosto.Aberta() && FLinha.contains(campo.toUpper()))
        return FLinha.value(campo.toUpper()).first;
    return FParaPosto.CampoTexto(campo);
}

qint64 TRepositorioParametros::Inteiro(const QString& campo) const
{
    if (!FParaPosto.Aberta() && FLinha.contains(campo.toUpper()))
        return FLinha.value(campo.toUpper()).second;
    return FParaPosto.CampoInteiro(campo);
}

int TRepositorioParametros::ReabreParametros()
{
    // The row read at the start of this fueling (Rele) already holds the counter; only an advance
    // since then makes it worth reading again.
    if (FSequenciaAlterada && !FLinhaAtual) {
        FParaPosto.Fecha();
        FParaPosto.Abre();
        GuardaLinha();
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
            // Another program advanced it since it was read: read again and retry, never overwrite.
            throw EErroBanco(QString(), TNaturezaErroBanco::Bloqueio);
    } catch (const EErroBanco& e) {
        throw EErroBanco(QStringLiteral("Erro ao Atualizar a Sequência de Abastecimentos."), e.Natureza());
    } catch (const std::exception&) {
        throw EErro(QStringLiteral("Erro ao Atualizar a Sequência de Abastecimentos."));
    }
    FSequenciaPendente = lida + 1;
    FSequenciaAlterada = true;
    FLinhaAtual = false;
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
