#include "ServicoEncerrantes.h"

#include "Contexto.h"
#include "Erro.h"
#include "Textos.h"

#include <QCoreApplication>
#include <QScopeGuard>

namespace {

const QString kMascara = QStringLiteral("0.000");
const QString kSemTurno = QStringLiteral("Não há turno aberto para este usuário!");

TFiltroTurno FiltroTurnoAberto()
{
    TFiltroTurno filtro;
    filtro.Status = QStringLiteral("N");
    filtro.Ordem = TServicoEncerrantes::kFiltroOrdem;
    return filtro;
}

} // namespace

const QString TServicoEncerrantes::kFiltroOrdem = QStringLiteral("CODEMPRESA,DTMOVIMENTO,HRABERTURA");

TServicoEncerrantes::TServicoEncerrantes(TContexto& contexto)
    : FContexto(contexto), FEncerrantes(contexto), FTurnos(contexto)
{
}

QString TServicoEncerrantes::Formata(double valor) const
{
    return FormataNumero(kMascara, valor, FContexto.Regional());
}

void TServicoEncerrantes::Informa(const QString& texto)
{
    FContexto.Mensagens().MostraMensagem(TTipoMensagem::Informacao, texto, TBotoes::Ok);
}

QString TServicoEncerrantes::CalculaSaida(const QString& final, const QString& inicial) const
{
    const TConfiguracaoRegional& regional = FContexto.Regional();
    return Formata(regional.LeNumero(final) - regional.LeNumero(inicial));
}

QList<TLinhaEncerrante> TServicoEncerrantes::CarregaBicos()
{
    QList<TLinhaEncerrante> linhas;
    for (const TBicoEncerrante& bico : FEncerrantes.Bombas()) {
        TLinhaEncerrante linha;
        linha.CodBico = bico.CodBico;
        linha.Descricao = bico.Descricao;
        linha.Inicial = Formata(bico.EncerranteIni);
        linha.Final = linha.Inicial;
        linha.Saida = CalculaSaida(linha.Final, linha.Inicial);
        linha.CodConcentrador = bico.CodConcentrador;
        linhas << linha;
    }
    return linhas;
}

void TServicoEncerrantes::LeEncerrante(TLinhaEncerrante& linha)
{
    // The second and third of the stored decimal digits (068 asks for 68), not the hexadecimal
    // form that prices and blocks use.
    const QString codigo = linha.CodConcentrador.mid(1, 2);
    TConcentrador& concentrador = *FContexto.Concentrador();
    concentrador.LerEncerrante('L', codigo);
    const TEncerrante& leitura = concentrador.LeituraEncerrante;
    // A reading that names another nozzle is never taken. An unread totalizer is zero in the
    // regional form, so it reads back as zero whatever the separator.
    if (leitura.Encerrante > 0 && leitura.Bico.Texto() == codigo)
        linha.Final = Formata(leitura.Encerrante);
    else
        linha.Final = Formata(0);
    linha.Saida = CalculaSaida(linha.Final, linha.Inicial);
}

bool TServicoEncerrantes::LeEncerrantes(QList<TLinhaEncerrante>& linhas,
                                        const std::function<void(int, const QString&)>& lida)
{
    const qsizetype quantas = linhas.size();
    for (qsizetype i = 0; i < quantas; ++i) {
        if (!linhas[i].Marcado)
            continue;
        try {
            LeEncerrante(linhas[i]);
        } catch (const std::exception&) {
            Informa(QStringLiteral("Erro ao consultar o encerrante do Bico: ") + linhas[i].CodConcentrador);
            return false;
        }
        if (lida)
            lida(static_cast<int>(i), QStringLiteral("Aguarde, Pesquisando Encerrante do Bico: ") + linhas[i].CodBico);
    }
    return true;
}

bool TServicoEncerrantes::AbreMvTurno(const TFiltroTurno& filtro)
{
    return FTurnos.AbreMvTurno(filtro);
}

bool TServicoEncerrantes::VerificaTurnoAberto(const QString& data, const QString& hora)
{
    if (!AbreMvTurno(FiltroTurnoAberto())) {
        Informa(kSemTurno);
        return false;
    }
    const TConfiguracaoRegional& regional = FContexto.Regional();
    const QDate dia = regional.LeData(data);
    const QTime momento = regional.LeHora(hora);
    // Dates compare by their day and times by their time of day, however the station's software
    // stored them (a time with or without a date in front).
    for (const TTurno& turno : FTurnos.Turnos()) {
        if (turno.DtTerminoTexto.isEmpty() || turno.HrTerminoTexto.isEmpty())
            continue;
        const QDate inicio = turno.DtMovimento.date();
        const QDate fim = turno.DtTermino.date();
        if (dia < inicio || dia > fim)
            continue;
        const QTime abertura = turno.HrAbertura.time();
        const QTime termino = turno.HrTermino.time();
        bool cobre;
        if (fim == inicio)
            cobre = abertura <= momento && momento <= termino;
        else if (dia == inicio)
            cobre = abertura <= momento && momento <= QTime(23, 59, 59);
        else if (dia != fim)
            cobre = true;
        else
            cobre = QTime(0, 0, 0) <= momento && momento <= termino;
        if (cobre) {
            FTurno = turno;
            return true;
        }
    }
    Informa(kSemTurno);
    return false;
}

bool TServicoEncerrantes::GravaEncerrantes(const QList<TLinhaEncerrante>& linhas,
                                           const std::function<void(const QString&)>& gravando)
{
    // The buttons stay usable while rows are stored: a second "OK" meanwhile must not start a
    // recording inside this one.
    if (FGravando)
        return false;
    FGravando = true;
    auto fim = qScopeGuard([this] { FGravando = false; });

    const QDateTime agora = FContexto.Relogio().Agora();
    const TConfiguracaoRegional& regional = FContexto.Regional();
    if (!VerificaTurnoAberto(regional.TextoData(agora.date()), regional.TextoHoraLonga(agora.time()))) {
        Informa(QStringLiteral("Não há turno aberto. Os encerrantes não serão gravados!"));
        return false;
    }
    // The earliest open shift, which is the one found only when no earlier one is open.
    AbreMvTurno(FiltroTurnoAberto());
    FChaveTurno = FTurnos.Turnos().value(0).Controle;

    TConexao& conexao = FContexto.CnTankora();
    const QString falha = QStringLiteral("Erro ao gravar as informações no banco ");
    IniciaTransacao(conexao);
    try {
        for (const TLinhaEncerrante& linha : linhas) {
            // The empty row a station without nozzles shows is no nozzle.
            if (linha.CodBico.trimmed().isEmpty())
                continue;
            TLinhaMvEncerrantes registro;
            registro.CodEmpresa = QStringLiteral("00");
            registro.CodTurno = FChaveTurno;
            registro.CodBico = linha.CodBico;
            registro.EncerranteIni = regional.LeNumero(linha.Inicial);
            registro.EncerranteFim = regional.LeNumero(linha.Final);
            registro.Saida = regional.LeNumero(linha.Saida);
            const QDateTime leitura = FContexto.Relogio().Agora();
            registro.DataLeitura = leitura;
            registro.HoraLeitura = regional.TextoHoraLonga(leitura.time());
            FEncerrantes.Grava(registro);
            if (gravando)
                gravando(QStringLiteral("Aguarde, gravando Encerrante do Bico: ") + linha.CodBico);
        }
    } catch (const std::exception& e) {
        // Nothing of a half-done recording may stay for a poll tick to commit.
        conexao.Abandona();
        Informa(falha + MensagemDe(e));
        return true;
    }
    try {
        ConfirmaTransacao(conexao);
    } catch (const std::exception& e) {
        conexao.Abandona();
        Informa(falha + MensagemDe(e));
        return true;
    }
    Informa(QStringLiteral("Encerrantes gravados com sucesso!"));
    return true;
}
