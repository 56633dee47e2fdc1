// The Debian packages as a station gets them: their file lists against the installed layout (the
// service without anything of a desktop, the window apart), the menu entries and the unit, and the programs run from a package unpacked into a temporary root:
// the service against a demo station and the simulated concentrator, under a notification socket
// of the test's own standing in for systemd.
#include "NotificacaoTeste.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <utility>

namespace {
QString Roda(const QString& programa, const QStringList& argumentos, int* saida = nullptr,
             const QProcessEnvironment& ambiente = QProcessEnvironment::systemEnvironment())
{
    QProcess processo;
    processo.setProcessEnvironment(ambiente);
    processo.setProcessChannelMode(QProcess::MergedChannels);
    processo.start(programa, argumentos);
    const bool terminou = processo.waitForFinished(120000);
    if (saida)
        *saida = terminou && processo.exitStatus() == QProcess::NormalExit ? processo.exitCode() : -1;
    return QString::fromUtf8(processo.readAll());
}

} // namespace

class TestePacote : public QObject {
    Q_OBJECT
    QString Pacotes; // the folder the package build left them in
    QString DebLinkor, DebJanela, DebFerramentas;
    QTemporaryDir Raiz; // the packages unpacked here
    QStringList Instalados; // the programs and libraries they hold
    QTemporaryDir Trabalho;
    QString Posto;
    QProcess Simulador;

    QString Bin(const QString& nome) const { return Raiz.filePath("usr/bin/" + nome); }
    QString Ctl(const QStringList& argumentos)
    {
        return Roda(Bin("concentrador-sim"), QStringList{"ctl", Trabalho.filePath("sim.sock")} + argumentos).trimmed();
    }
    QString Pendentes()
    {
        const QRegularExpressionMatch m = QRegularExpression("pendentes=(\\d+)").match(Ctl({"estado"}));
        return m.hasMatch() ? m.captured(1) : QString();
    }
    QProcessEnvironment Ambiente() const
    {
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("COMPANYTEC_PORTA1", Trabalho.filePath("ttyCONC"));
        ambiente.remove("LINKOR_POSTO");
        ambiente.remove("NOTIFY_SOCKET");
        return ambiente;
    }
    void IniciaServico(QProcess& servico, const QProcessEnvironment& ambiente,
                       QProcess::ProcessChannelMode canais = QProcess::ForwardedErrorChannel)
    {
        servico.setProcessEnvironment(ambiente);
        servico.setWorkingDirectory(Trabalho.path()); // not the station folder: Caminho.ini is found there anyway
        servico.setProcessChannelMode(canais);
        servico.start(Bin("linkor-servico"), {"--posto", Posto});
        QVERIFY(servico.waitForStarted(5000));
    }
    static void Termina(QProcess& processo)
    {
        if (processo.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(processo.processId()), SIGTERM);
        if (!processo.waitForFinished(20000)) {
            processo.kill();
            processo.waitForFinished(5000);
        }
    }
    QString Deb(const QString& pacote) const
    {
        return pacote == "linkor" ? DebLinkor : pacote == "janela" ? DebJanela : DebFerramentas;
    }
    QStringList ProgramasInstalados() const
    {
        QStringList lista;
        for (const QString& pasta : {QStringLiteral("usr/bin"), QStringLiteral("usr/lib/linkor")})
            for (const QString& nome : QDir(Raiz.filePath(pasta)).entryList(QDir::Files | QDir::NoDotAndDotDot))
                lista << pasta + "/" + nome;
        return lista;
    }
    QStringList Conteudo(const QString& deb)
    {
        QStringList caminhos;
        for (const QString& linha : Roda("dpkg-deb", {"-c", deb}).split('\n', Qt::SkipEmptyParts))
            caminhos << linha.section(' ', -1).section(" -> ", 0, 0);
        return caminhos;
    }

private slots:
    void initTestCase()
    {
        Pacotes = qEnvironmentVariable("LINKOR_PACOTES");
        QVERIFY2(!Pacotes.isEmpty(), "LINKOR_PACOTES names the folder scripts/pacote built into");
        for (const auto& [padrao, deb] : {std::pair{"linkor_*_amd64.deb", &DebLinkor},
                                          std::pair{"linkor-janela_*_amd64.deb", &DebJanela},
                                          std::pair{"linkor-ferramentas_*_amd64.deb", &DebFerramentas}}) {
            const QStringList achados = QDir(Pacotes).entryList({padrao});
            QVERIFY2(achados.size() == 1, padrao);
            *deb = Pacotes + "/" + achados[0];
        }
        QVERIFY(Raiz.isValid() && Trabalho.isValid());
        for (const QString& deb : {DebLinkor, DebJanela, DebFerramentas}) {
            int saida = -1;
            const QString texto = Roda("dpkg-deb", {"-x", deb, Raiz.path()}, &saida);
            QVERIFY2(saida == 0, qPrintable(texto));
        }
        Instalados = ProgramasInstalados();
        Posto = Trabalho.filePath("posto");
        QVERIFY(QDir().mkpath(Posto));
    }
    void cleanupTestCase()
    {
        Termina(Simulador);
    }

    void Conteudo_data()
    {
        QTest::addColumn<QString>("pacote");
        QTest::addColumn<QString>("caminho");
        QTest::addColumn<bool>("presente");
        // The service needs no desktop; the window is a package of its own.
        const QList<std::pair<QString, QStringList>> pacotes = {
            {"linkor",
             {"./usr/bin/linkor-servico", "./usr/lib/linkor/libCompanytec.so", "./lib/systemd/system/linkor-servico.service",
              "./usr/share/man/man1/linkor-servico.1.gz", "./etc/linkor/linkor.conf", "./var/lib/linkor/",
               "./usr/bin/linkor-diario", "./usr/share/man/man1/linkor-diario.1.gz", "./usr/bin/linkorctl",
               "./usr/share/man/man1/linkorctl.1.gz", "./usr/share/dbus-1/system.d/br.com.linkor.Posto.conf"}},
            {"janela",
             {"./usr/bin/linkor", "./usr/share/applications/linkor.desktop", "./etc/xdg/autostart/linkor.desktop",
              "./usr/share/icons/hicolor/scalable/apps/linkor.svg", "./usr/share/man/man1/linkor.1.gz"}},
            {"ferramentas",
             {"./usr/bin/concentrador-sim", "./usr/bin/cria-posto", "./usr/share/man/man1/concentrador-sim.1.gz",
              "./usr/share/man/man1/cria-posto.1.gz"}}};
        for (const auto& [dono, caminhos] : pacotes)
            for (const QString& c : caminhos)
                for (const auto& [pacote, outros] : pacotes)
                    QTest::addRow("%s %s %s", qPrintable(pacote), pacote == dono ? "com" : "sem", qPrintable(c))
                        << pacote << c << (pacote == dono);
    }
    void Conteudo()
    {
        QFETCH(QString, pacote);
        QFETCH(QString, caminho);
        QFETCH(bool, presente);
        QCOMPARE(Conteudo(Deb(pacote)).contains(caminho), presente);
    }

    // Nothing of the tests, benchmarks or fuzzers, and no development link to the library.
    void SoOQueAEstacaoUsa()
    {
        const QStringList todos = Conteudo(DebLinkor) + Conteudo(DebJanela) + Conteudo(DebFerramentas);
        for (const QString& c : todos)
            QVERIFY2(!c.contains(QRegularExpression("teste|bench|fuzz|/include/|\\.a$", QRegularExpression::CaseInsensitiveOption)),
                     qPrintable(c));
    }

    void EntradasDeMenuValidas()
    {
        int saida = -1;
        const QString texto = Roda("desktop-file-validate", {Raiz.filePath("usr/share/applications/linkor.desktop"),
                                                             Raiz.filePath("etc/xdg/autostart/linkor.desktop")}, &saida);
        QVERIFY2(saida == 0 && texto.isEmpty(), qPrintable(texto));
    }

    // systemd's own check, with the program where the unpacked package has it; it only warns
    // about a setting it ignores, so any output is a failure too.
    void UnidadeAceita()
    {
        QFile unidade(Raiz.filePath("lib/systemd/system/linkor-servico.service"));
        QVERIFY(unidade.open(QIODevice::ReadOnly));
        QByteArray texto = unidade.readAll();
        QVERIFY(texto.contains("ExecStart=/usr/bin/linkor-servico\n"));
        texto.replace("/usr/bin/linkor-servico", QFile::encodeName(Bin("linkor-servico")));
        QFile copia(Trabalho.filePath("linkor-servico.service"));
        QVERIFY(copia.open(QIODevice::WriteOnly));
        copia.write(texto);
        copia.close();
        int saida = -1;
        const QString relato = Roda("systemd-analyze", {"verify", "--man=no", copia.fileName()}, &saida);
        QVERIFY2(saida == 0 && relato.trimmed().isEmpty(), qPrintable(relato));
    }

    // The unit's sandbox, as systemd rates it: printed, and held to 2.0 at most (what keeps it
    // above 1: the network for a database server, the serial devices, the dialout group, a
    // group-writable umask shared with the window, and no write-execute ban for Qt's regular
    // expressions).
    void UnidadeProtegida()
    {
        QFile unidade(Raiz.filePath("lib/systemd/system/linkor-servico.service"));
        QVERIFY(unidade.open(QIODevice::ReadOnly));
        QFile copia(Trabalho.filePath("linkor-servico.service"));
        QVERIFY(copia.open(QIODevice::WriteOnly));
        copia.write(unidade.readAll());
        copia.close();
        int saida = -1;
        const QString relato = Roda("systemd-analyze", {"security", "--offline=true", "--no-pager", copia.fileName()}, &saida);
        const QRegularExpressionMatch nota = QRegularExpression("Overall exposure level for \\S+: (\\d+\\.\\d)").match(relato);
        QVERIFY2(nota.hasMatch(), qPrintable(relato));
        qInfo("systemd-analyze security: %s", qPrintable(nota.captured(1)));
        QVERIFY2(nota.captured(1).toDouble() <= 2.0, qPrintable(relato));
        // What the station folder's secrets rely on.
        const QByteArray texto = [&] {
            QFile f(copia.fileName());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        for (const char* linha : {"UMask=0007\n", "ProtectSystem=strict\n", "ReadWritePaths=/var/lib/linkor\n",
                                  "DevicePolicy=closed\n", "RestartPreventExitStatus=78\n", "PrivateTmp=yes\n"})
            QVERIFY2(texto.contains(linha), linha);
    }

    // Debian's check of the hardening flags, on every program and library the packages install:
    // position independent, stack protector, fortified calls, read-only relocations, immediate
    // binding. Not control-flow protection: bookworm's C start-up files carry no IBT/SHSTK mark, so
    // no program linked here can have it whatever its own flags. The journal tool, linkorctl and
    // the concentrator library are built with the same flags as the rest, but their copies go into
    // buffers of sizes known only to their callers (the vendor's interface, the standard
    // containers) or sized by the compiler itself: hardening-check finds no call fortified, as
    // there is none left to check, so that is the one thing not asked of them.
    void ProgramasProtegidos()
    {
        QVERIFY(Instalados.contains("usr/bin/linkor-servico") && Instalados.contains("usr/bin/linkor-diario")
                && Instalados.contains("usr/bin/linkor") && Instalados.contains("usr/lib/linkor/libCompanytec.so"));
        const QStringList semChamadaFortificavel = {"usr/bin/linkor-diario", "usr/bin/linkorctl",
                                                    "usr/lib/linkor/libCompanytec.so"};
        // It reads what file(1) and readelf print, which a Portuguese locale translates.
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("LC_ALL", "C");
        ambiente.insert("LANG", "C");
        ambiente.remove("LANGUAGE");
        for (const QString& programa : Instalados) {
            QStringList opcoes{"--nocfprotection", "--verbose"};
            if (semChamadaFortificavel.contains(programa))
                opcoes << "--nofortify";
            int saida = -1;
            const QString relato = Roda("hardening-check", opcoes << Raiz.filePath(programa), &saida, ambiente);
            qInfo("%s", qPrintable(relato));
            QVERIFY2(saida == 0 && relato.contains(" Stack protected: yes"), qPrintable(relato));
        }
    }

    // The modes the package gives: the technician's settings readable by all (no secret in it),
    // the station folder root's and the group's only, Caminho.ini closed (set by the scripts).
    void ModosInstalados()
    {
        const QString lista = Roda("dpkg-deb", {"-c", DebLinkor});
        QVERIFY2(QRegularExpression("-rw-r--r-- root/root .* \\./etc/linkor/linkor\\.conf").match(lista).hasMatch(),
                 qPrintable(lista));
        QVERIFY2(lista.contains("./usr/share/doc/linkor/examples/Caminho.ini"), qPrintable(lista));
        QVERIFY2(QRegularExpression(" \\./usr/share/doc/linkor/README\\.md(\\.gz)?\\n").match(lista).hasMatch(), qPrintable(lista));
        QTemporaryDir controle;
        int saida = -1;
        Roda("dpkg-deb", {"-e", DebLinkor, controle.path()}, &saida);
        QCOMPARE(saida, 0);
        QFile postinst(controle.filePath("postinst"));
        QVERIFY(postinst.open(QIODevice::ReadOnly));
        const QByteArray script = postinst.readAll();
        QVERIFY(script.contains("dpkg-statoverride --update --add root linkor 3770 /var/lib/linkor"));
        QVERIFY(script.contains("chmod 0640 \"$ini\""));
        QFile conffiles(controle.filePath("conffiles"));
        QVERIFY(conffiles.open(QIODevice::ReadOnly));
        QVERIFY(conffiles.readAll().contains("/etc/linkor/linkor.conf"));
    }

    // A station box without a desktop installs linkor: neither its dependencies nor any program or
    // library it holds bring Qt Gui or Widgets, a toolkit or a graphics stack. The window's package
    // brings them, with exactly the linkor it was built with.
    void LinkorSemDesktop()
    {
        const QRegularExpression desktop("libqt6(gui|widgets)|qt6-qpa|libgtk|libgl1|libgl\\.so|libegl|libx11|libxcb|libwayland",
                                         QRegularExpression::CaseInsensitiveOption);
        const QString dependencias = Roda("dpkg-deb", {"-f", DebLinkor, "Pre-Depends", "Depends"});
        QVERIFY2(dependencias.contains("libqt6core6") && !dependencias.contains(desktop), qPrintable(dependencias));
        QStringList elfs;
        for (const QString& c : Conteudo(DebLinkor))
            if (c.startsWith("./usr/bin/") || c.endsWith(".so"))
                elfs << Raiz.filePath(c.mid(2));
        QVERIFY(elfs.size() >= 2);
        for (const QString& elf : elfs) {
            const QString bibliotecas = Roda("ldd", {elf});
            QVERIFY2(!bibliotecas.contains("not found") && !bibliotecas.contains(desktop), qPrintable(elf + "\n" + bibliotecas));
        }
        const QString daJanela = Roda("dpkg-deb", {"-f", DebJanela, "Depends"});
        const QString versao = Roda("dpkg-deb", {"-f", DebLinkor, "Version"}).trimmed();
        QVERIFY2(daJanela.contains("linkor (= " + versao + ")") && daJanela.contains("libqt6widgets6"), qPrintable(daJanela));
    }

    // The installed programs name the system station folder, and say so without a display.
    void AjudaMostraAPastaDoPosto_data()
    {
        QTest::addColumn<QString>("programa");
        QTest::newRow("janela") << "linkor";
        QTest::newRow("servico") << "linkor-servico";
    }
    void AjudaMostraAPastaDoPosto()
    {
        QFETCH(QString, programa);
        QProcessEnvironment ambiente = Ambiente();
        ambiente.remove("DISPLAY");
        ambiente.remove("WAYLAND_DISPLAY");
        ambiente.remove("QT_QPA_PLATFORM");
        int saida = -1;
        const QString texto = Roda(Bin(programa), {"--help"}, &saida, ambiente);
        QCOMPARE(saida, 0);
        QVERIFY2(texto.contains("--posto") && texto.contains("/var/lib/linkor") && texto.contains("LINKOR_POSTO"),
                 qPrintable(texto));
    }

    // The whole road, installed: ready, one fueling stored and logged in the station folder, the
    // watchdog fed by the ticks and silent while the engine is frozen, a clean stop.
    void ServicoInstaladoGravaAbastecimentos()
    {
        int saida = -1;
        QString texto = Roda(Bin("cria-posto"), {Posto + "/POSTO.FDB"}, &saida);
        QVERIFY2(saida == 0, qPrintable(texto));
        QFile ini(Posto + "/Caminho.ini");
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(("[DATABASEESTOQUE]\r\nCAMINHO=" + Posto + "/POSTO.FDB\r\nUSUARIO=SYSDBA\r\n").toUtf8());
        ini.close();

        Simulador.setProgram(Bin("concentrador-sim"));
        Simulador.setArguments({"--link", Trabalho.filePath("ttyCONC"), "--controle", Trabalho.filePath("sim.sock"),
                                "--bicos", "04,05,44,45"});
        Simulador.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        Simulador.start();
        QVERIFY(Simulador.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(Trabalho.filePath("sim.sock")), 30000);

        TReceptorNotificacoes gerente(Trabalho.filePath("notify.sock"));
        QVERIFY(gerente.Ligado);
        QProcessEnvironment ambiente = Ambiente();
        ambiente.insert("NOTIFY_SOCKET", Trabalho.filePath("notify.sock"));
        ambiente.insert("WATCHDOG_USEC", "60000000");
        QProcess servico;
        IniciaServico(servico, ambiente);
        QTRY_VERIFY_WITH_TIMEOUT(gerente.Chegou("READY=1"), 30000);

        Ctl({"abastece", "bico=04", "litros=10", "preco=5.899"});
        QTRY_COMPARE_WITH_TIMEOUT(Pendentes(), QString("0"), 30000);
        qsizetype marca = gerente.Recebidas.size();
        QTRY_VERIFY_WITH_TIMEOUT(gerente.Chegou("WATCHDOG=1", marca), 30000);

        // Frozen: not one ping, however long; thawed: the pings come back.
        const pid_t pid = static_cast<pid_t>(servico.processId());
        ::kill(pid, SIGSTOP);
        QTest::qWait(200);
        gerente.Novas(); // whatever was on its way before the stop
        marca = gerente.Recebidas.size();
        QTest::qWait(4000); // four poll intervals
        QCOMPARE(gerente.Novas(), QStringList());
        ::kill(pid, SIGCONT);
        QTRY_VERIFY_WITH_TIMEOUT(gerente.Chegou("WATCHDOG=1", marca), 30000);

        ::kill(pid, SIGTERM);
        QVERIFY(servico.waitForFinished(20000));
        QCOMPARE(servico.exitStatus(), QProcess::NormalExit);
        QCOMPARE(servico.exitCode(), 0);
        QVERIFY(gerente.Chegou("STOPPING=1"));

        texto = Roda(Bin("cria-posto"), {"--lista", Posto + "/POSTO.FDB"}, &saida);
        QVERIFY2(saida == 0 && texto.contains("1 abastecimento(s)"), qPrintable(texto));
        QFile log(Posto + "/LogLinkor" + QDate::currentDate().toString("ddMMyyyy"));
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        QVERIFY(!log.readAll().trimmed().isEmpty());
        // The window (an operator in the group) appends to what the service created, and back.
        QVERIFY2(log.permissions() & QFileDevice::WriteGroup, "log not writable by the station folder's group");
        // Nothing was written beside the installed programs.
        QCOMPARE(ProgramasInstalados(), Instalados);
    }

    // The window and the service never poll one station at once: the second one started refuses.
    void JanelaEServicoNaMesmaPasta()
    {
        QVERIFY(QFileInfo::exists(Posto + "/POSTO.FDB")); // from the test above
        QProcessEnvironment ambiente = Ambiente();
        ambiente.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess janela;
        janela.setProcessEnvironment(ambiente);
        janela.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        janela.start(Bin("linkor"), {"--posto", Posto});
        QVERIFY(janela.waitForStarted(5000));
        Ctl({"abastece", "bico=05", "litros=3", "preco=6.1"});
        QTRY_COMPARE_WITH_TIMEOUT(Pendentes(), QString("0"), 30000); // the window is polling

        // The refusal comes before the database is touched; one embedded database file would turn
        // the second program away too, but only after its connection retries.
        QProcess servico;
        IniciaServico(servico, Ambiente(), QProcess::MergedChannels);
        const bool terminou = servico.waitForFinished(20000);
        Termina(servico);
        Termina(janela);
        const QString relato = QString::fromUtf8(servico.readAll());
        QVERIFY2(terminou && servico.exitCode() != 0 && !relato.contains("banco de dados"), qPrintable(relato));
        QVERIFY2(relato.contains("Já existe um Linkor aberto para este posto"), qPrintable(relato));
        // Refused every few seconds by systemd while the window runs: the journal has it, the
        // station's error log does not fill up with it.
        QFile erros(Posto + "/LogErroConcentrador");
        const QString registro = erros.open(QIODevice::ReadOnly) ? QString::fromUtf8(erros.readAll()) : QString();
        QVERIFY2(!registro.contains("Já existe um Linkor aberto"), qPrintable(registro));
    }
};

QTEST_GUILESS_MAIN(TestePacote)
#include "TestePacote.moc"
