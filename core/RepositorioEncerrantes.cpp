#include "RepositorioEncerrantes.h"

#include "Contexto.h"

TRepositorioEncerrantes::TRepositorioEncerrantes(TContexto& contexto)
    : FBombas(&contexto.CnTankora()), FMvEncerrantes(&contexto.CnTankora()), FInsere(&contexto.CnTankora()),
      FAtualiza(&contexto.CnTankora())
{
    FBombas.setObjectName(QStringLiteral("Bombas"));
    FBombas.DefineSQL(
        QStringLiteral("Select CodBico, Descricao, CodConcentrador, EncerranteIni From Bombas Order By CodBico"));
    FMvEncerrantes.setObjectName(QStringLiteral("MvEncerrantes"));
    FMvEncerrantes.DefineSQL(QStringLiteral("Select * From MvEncerrantes") + QStringLiteral(" Where CodEmpresa = :PCodEmpresa")
                             + QStringLiteral(" And CodTurno     = :PCodTurno")
                             + QStringLiteral(" And CodBico      = :PCodBico"));
    FInsere.DefineSQL(QStringLiteral(
        "Insert Into MvEncerrantes (CodEmpresa, CodTurno, CodBico, EncerranteIni, EncerranteFim, Saida, "
        "DataLeitura, HoraLeitura) Values (:PCodEmpresa, :PCodTurno, :PCodBico, :PEncerranteIni, :PEncerranteFim, "
        ":PSaida, :PDataLeitura, :PHoraLeitura)"));
    FAtualiza.DefineSQL(QStringLiteral(
        "Update MvEncerrantes Set EncerranteIni = :PEncerranteIni, EncerranteFim = :PEncerranteFim, "
        "Saida = :PSaida, DataLeitura = :PDataLeitura, HoraLeitura = :PHoraLeitura "
        "Where CodEmpresa = :PCodEmpresa And CodTurno = :PCodTurno And CodBico = :PCodBico"));
}

QList<TBicoEncerrante> TRepositorioEncerrantes::Bombas()
{
    FBombas.Fecha();
    FBombas.Abre();
    QList<TBicoEncerrante> bicos;
    for (; !FBombas.Fim(); FBombas.Proximo()) {
        TBicoEncerrante bico;
        bico.CodBico = FBombas.CampoTexto(QStringLiteral("CodBico"));
        bico.Descricao = FBombas.CampoTexto(QStringLiteral("Descricao"));
        bico.CodConcentrador = FBombas.CampoTexto(QStringLiteral("CodConcentrador"));
        bico.EncerranteIni = FBombas.CampoDouble(QStringLiteral("EncerranteIni"));
        bicos << bico;
    }
    FBombas.Fecha();
    return bicos;
}

void TRepositorioEncerrantes::Grava(const TLinhaMvEncerrantes& linha)
{
    FMvEncerrantes.Fecha();
    FMvEncerrantes.DefineTexto(QStringLiteral("PCodEmpresa"), linha.CodEmpresa);
    FMvEncerrantes.DefineTexto(QStringLiteral("PCodTurno"), linha.CodTurno);
    FMvEncerrantes.DefineTexto(QStringLiteral("PCodBico"), linha.CodBico);
    FMvEncerrantes.Abre();
    const bool existe = !FMvEncerrantes.Vazia();
    FMvEncerrantes.Fecha();
    TConsulta& comando = existe ? FAtualiza : FInsere;
    comando.DefineTexto(QStringLiteral("PCodEmpresa"), linha.CodEmpresa);
    comando.DefineTexto(QStringLiteral("PCodTurno"), linha.CodTurno);
    comando.DefineTexto(QStringLiteral("PCodBico"), linha.CodBico);
    comando.DefineDouble(QStringLiteral("PEncerranteIni"), linha.EncerranteIni);
    comando.DefineDouble(QStringLiteral("PEncerranteFim"), linha.EncerranteFim);
    comando.DefineDouble(QStringLiteral("PSaida"), linha.Saida);
    // Day.month.year with a time: the server reads it whatever the regional settings.
    comando.DefineTexto(QStringLiteral("PDataLeitura"), linha.DataLeitura.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")));
    comando.DefineTexto(QStringLiteral("PHoraLeitura"), linha.HoraLeitura);
    comando.Executa();
}
