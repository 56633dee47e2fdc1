#include "RepositorioTurnos.h"

#include "Contexto.h"

TRepositorioTurnos::TRepositorioTurnos(TContexto& contexto) : FContexto(contexto), FMvTurno(&contexto.CnTankora())
{
    FMvTurno.setObjectName(QStringLiteral("MvTurno"));
}

QString TRepositorioTurnos::SQLMvTurno(const TFiltroTurno& filtro)
{
    QString sql = QStringLiteral("SELECT MVTURNO.*, TURNOS.DESCRICAO, VENDEND.NOME FROM MVTURNO")
                  + QStringLiteral(" LEFT JOIN TURNOS  ON (MVTURNO.CODTURNO    = TURNOS.CODTURNO) ")
                  + QStringLiteral(" LEFT JOIN VENDEND ON (MVTURNO.CODVENDEDOR = VENDEND.CODVENDEDOR) ");
    QString juncao = QStringLiteral("WHERE");
    auto termo = [&](const QString& argumento, const QString& texto) {
        if (argumento.isEmpty())
            return;
        sql += juncao + texto;
        juncao = QStringLiteral("AND");
    };
    // Status is passed fifth but filters seventh; the Controle term has no leading blank.
    termo(filtro.CodEmpresa, QStringLiteral(" (CODEMPRESA = :PCODEMPRESA) "));
    termo(filtro.DtMovimento, QStringLiteral(" (DTMOVIMENTO = :PDTMOVIMENTO) "));
    termo(filtro.CodTurno, QStringLiteral(" (CODTURNO = :PCODTURNO) "));
    termo(filtro.CodVendedor, QStringLiteral(" (CODVENDEDOR = :PCODVENDEDOR) "));
    termo(filtro.DtFechamento, QStringLiteral(" (DTFECHAMENTO = :PDTFECHAMENTO) "));
    termo(filtro.HrFechamento, QStringLiteral(" (HRFECHAMENTO = :PHRFECHAMENTO) "));
    termo(filtro.Status, QStringLiteral(" (STATUS = :PSTATUS) "));
    termo(filtro.Controle, QStringLiteral("(CONTROLE = :PCONTROLE) "));
    if (!filtro.Ordem.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + filtro.Ordem;
    return sql;
}

bool TRepositorioTurnos::AbreMvTurno(const TFiltroTurno& filtro)
{
    FMvTurno.Fecha();
    FTurnos.clear();
    FMvTurno.DefineSQL(SQLMvTurno(filtro));
    const TConfiguracaoRegional& regional = FContexto.Regional();
    auto texto = [&](const QString& nome, const QString& valor) {
        if (!valor.isEmpty())
            FMvTurno.DefineTexto(nome, valor);
    };
    auto data = [&](const QString& nome, const QString& valor) {
        if (!valor.isEmpty())
            FMvTurno.DefineData(nome, regional.LeData(valor));
    };
    texto(QStringLiteral("PCODEMPRESA"), filtro.CodEmpresa);
    data(QStringLiteral("PDTMOVIMENTO"), filtro.DtMovimento);
    texto(QStringLiteral("PCODTURNO"), filtro.CodTurno);
    texto(QStringLiteral("PCODVENDEDOR"), filtro.CodVendedor);
    data(QStringLiteral("PDTFECHAMENTO"), filtro.DtFechamento);
    texto(QStringLiteral("PHRFECHAMENTO"), filtro.HrFechamento);
    texto(QStringLiteral("PSTATUS"), filtro.Status);
    texto(QStringLiteral("PCONTROLE"), filtro.Controle);
    FMvTurno.Abre();
    for (; !FMvTurno.Fim(); FMvTurno.Proximo()) {
        TTurno turno;
        turno.Controle = FMvTurno.CampoTexto(QStringLiteral("Controle"));
        turno.CodEmpresa = FMvTurno.CampoTexto(QStringLiteral("CODEMPRESA"));
        turno.DtMovimento = FMvTurno.Campo(QStringLiteral("DTMOVIMENTO")).toDateTime();
        turno.HrAbertura = FMvTurno.Campo(QStringLiteral("HRABERTURA")).toDateTime();
        turno.DtTermino = FMvTurno.Campo(QStringLiteral("DtTermino")).toDateTime();
        turno.HrTermino = FMvTurno.Campo(QStringLiteral("HrTermino")).toDateTime();
        turno.DtTerminoTexto = FMvTurno.CampoTexto(QStringLiteral("DtTermino"));
        turno.HrTerminoTexto = FMvTurno.CampoTexto(QStringLiteral("HrTermino"));
        FTurnos << turno;
    }
    return !FTurnos.isEmpty();
}
