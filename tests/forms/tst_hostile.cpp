// Stored documents written to misbehave, each shown through the main window with every request
// for any address sent to a loopback listener (the engine's proxy points at it too): nothing
// reaches it, the view stays on the document, no script outlives its document, the program keeps
// answering, messages never pile up, and names are shown as plain text.
#include "FormsTestSupport.h"
#include "LoopbackListener.h"

#include "forms/ErrorDisplay.h"
#include "forms/Unit2.h"
#include "kvdbuild/KvdBuilder.h"
#include "kvdbuild/Register.h"
#include "viewer/BrowserView.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEnginePage>

#include <memory>
#include <vector>

using namespace orvelle;
using formstest::ItemById;

namespace {

formstest::LoopbackListener* listener = nullptr;

constexpr std::int32_t kCanary = 1000;
// The test's page memory limit: far below the program's, so the bomb is caught in seconds.
constexpr qint64 kTestMemoryLimit = qint64{400} << 20;

struct Vector {
    const char* name;
    std::string body;        // {L}: the listener's address, {H}: a remote host, {P}: its port
    bool hangs = false;      // the page never finishes: the next click must still work
    bool staysPut = true;    // the document is still shown a moment later
    int messages = 0;        // messages expected from it (at most; the memory bomb: exactly)
    const char* name0 = "V"; // what status panel 0 shows for it
};

std::vector<Vector> Vectors() {
    const std::string tail(std::size_t{70} * 1024, ' ');
    return {
        // A document takes the view away while it is being written.
        {"inline location.replace", "<script>location.replace('{L}/replace')</script>"},
        {"onload location.assign",
         "<script>document.body.onload=function(){location.assign('{H}/assign')}</script>"},
        {"script at the top of a long document",
         "<script>location.href='{L}/long'</script><p>" + tail + "</p><p>end</p>"},
        {"meta refresh", "<meta http-equiv=\"refresh\" content=\"0;url={L}/refresh\">", false, true,
         1}, // refused and reported as a link would be
        // Document text is plain text.
        {"title with an image tag", "<title>&lt;img src=\"/dev/zero\"&gt;</title>", false, true, 0,
         "<img src=\"/dev/zero\">"},
        {"title with markup", "<title>&lt;b&gt;&lt;font color=red&gt;spoof</title>", false, true, 0,
         "<b><font color=red>spoof"},
        // No request leaves the viewer.
        {"img", "<img src=\"{L}/img\">"},
        {"srcset", "<img srcset=\"{H}/srcset 2x\">"},
        {"stylesheet", "<link rel=\"stylesheet\" href=\"{L}/css\">"},
        {"@import", "<style>@import url({H}/import);</style>"},
        {"css url()", "<div style=\"width:9px;height:9px;background:url({L}/bg)\"></div>"},
        {"@font-face", "<style>@font-face{font-family:f;src:url({L}/font)}</style>"
                       "<p style=\"font-family:f\">font</p>"},
        {"script src", "<script src=\"{H}/js\"></script>"},
        {"fetch", "<script>fetch('{L}/fetch').catch(function(){})</script>"},
        {"XHR POST", "<script>var x=new XMLHttpRequest();x.open('POST','{L}/xhr');"
                     "x.send('secret')</script>"},
        {"sendBeacon", "<script>navigator.sendBeacon('{L}/beacon','secret')</script>"},
        {"WebSocket", "<script>try{new WebSocket('ws://127.0.0.1:{P}/ws')}catch(e){}</script>"},
        {"EventSource", "<script>new EventSource('{L}/events')</script>"},
        {"Worker", "<script>new Worker(URL.createObjectURL(new Blob([\"fetch('{L}/worker')\"],"
                   "{type:'text/javascript'})))</script>"},
        {"media and poster", "<video poster=\"{L}/poster\" src=\"{L}/video\" autoplay muted>"
                             "</video><audio src=\"{H}/audio\" autoplay></audio>"},
        {"SVG image", "<svg width=\"9\" height=\"9\"><image href=\"{L}/svg\" width=\"9\" "
                      "height=\"9\"/></svg><img src=\"data:image/svg+xml,<svg "
                      "xmlns='http://www.w3.org/2000/svg'><image href='{L}/svgimg'/></svg>\">"},
        {"prefetch, preload, preconnect",
         "<link rel=\"prefetch\" href=\"{L}/prefetch\"><link rel=\"preload\" as=\"image\" "
         "href=\"{H}/preload\"><link rel=\"preconnect\" href=\"http://127.0.0.1:{P}\">"
         "<link rel=\"dns-prefetch\" href=\"//example.org\">"},
        {"javascript: iframe", "<iframe src=\"javascript:'<img src={L}/jsframe>'\"></iframe>"},
        {"data: iframe", "<iframe src=\"data:text/html,<img src='{L}/dataframe'>\"></iframe>"},
        {"popup written by window.open",
         "<script>var w=window.open('');if(w)w.document.write('<img src={L}/popup>')</script>"},
        {"WebRTC", "<script>try{var pc=new RTCPeerConnection({iceServers:[{urls:"
                   "'turn:127.0.0.1:{P}?transport=tcp',username:'u',credential:'c'},"
                   "{urls:'stun:127.0.0.1:{P}'}]});pc.createDataChannel('d');"
                   "pc.createOffer().then(function(o){return pc.setLocalDescription(o)})"
                   "}catch(e){}</script>"},
        {"WebRTC from a frame by index",
         "<script>try{document.body.insertAdjacentHTML('beforeend','<iframe></iframe>');"
         "var pc=new window[0].RTCPeerConnection({iceServers:[{urls:"
         "'turn:127.0.0.1:{P}?transport=tcp',username:'u',credential:'c'}]});"
         "pc.createDataChannel('d');pc.createOffer().then(function(o){"
         "return pc.setLocalDescription(o)})}catch(e){}</script>"},
        {"WebRTC from a frame of the markup by index",
         "<iframe></iframe><script>try{var pc=new window[0].RTCPeerConnection({iceServers:[{urls:"
         "'turn:127.0.0.1:{P}?transport=tcp',username:'u',credential:'c'}]});"
         "pc.createDataChannel('d');pc.createOffer().then(function(o){"
         "return pc.setLocalDescription(o)})}catch(e){}</script>"},
        {"WebRTC from a new frame",
         "<script>try{var f=document.body.appendChild(document.createElement('iframe'));"
         "var pc=new f.contentWindow.RTCPeerConnection({iceServers:[{urls:"
         "'turn:127.0.0.1:{P}?transport=tcp',username:'u',credential:'c'}]});"
         "pc.createDataChannel('d');pc.createOffer().then(function(o){"
         "return pc.setLocalDescription(o)})}catch(e){}</script>"},
        {"relative addresses", "<img src=\"relative.png\"><link rel=\"stylesheet\" "
                               "href=\"relative.css\">"},
        // A script outlives its document.
        {"interval", "<script>setInterval(function(){var m=document.getElementById('mark');"
                     "if(m&&m.textContent!=='v'){m.textContent='leak';document.title='leak'}},20)"
                     "</script>"},
        // A document locks the reader out.
        {"endless loop while written", "<script>for(;;){}</script>", true, false},
        {"endless loop afterwards", "<script>setTimeout(function(){for(;;){}},200)</script>", false,
         false},
        {"dialogs", "<script>for(var i=0;i<200;i++){alert(i);confirm(i)}prompt('password')"
                    "</script>"},
        {"refused frames every 100 ms",
         "<script>setInterval(function(){var f=document.createElement('iframe');"
         "f.src='other.htm#x';document.body.appendChild(f)},100)</script>"},
        {"location storm",
         "<script>var i=0;setInterval(function(){location.href='#a'+(i++)},100)"
         "</script>",
         false, true, 20},
        // No memory limit.
        {"typed-array bomb",
         "<script>var a=[];setInterval(function(){for(var k=0;k<4;k++){"
         "var b=new Uint8Array(16<<20);b.fill(1);a.push(b)}},20)</script>",
         false, false, 1},
    };
}

std::string Expand(std::string text) {
    const std::string port = std::to_string(listener->Port());
    const std::pair<std::string, std::string> names[] = {
        {"{L}", "http://127.0.0.1:" + port}, {"{H}", "http://example.com"}, {"{P}", port}};
    for (const auto& [name, value] : names) {
        for (std::size_t at; (at = text.find(name)) != std::string::npos;) {
            text.replace(at, name.size(), value);
        }
    }
    return text;
}

std::string Document(const Vector& vector) {
    const bool ownTitle = vector.body.rfind("<title>", 0) == 0;
    return "<html><head>" + std::string(ownTitle ? "" : "<title>V</title>") +
           "</head><body><p id=\"mark\">v</p>" + Expand(vector.body) + "</body></html>";
}

// Message boxes that stay up a while, as a person reading them would keep them: shows whether
// messages pile up.
class ModalDialogs final : public forms::UserDialogs {
public:
    ModalDialogs() { forms::SetDialogs(this); }
    ~ModalDialogs() override { forms::SetDialogs(nullptr); }

    QString ChooseFile(QWidget*, const QString&, const QString&) override { return {}; }
    void ShowMessage(QWidget*, const QString&, const QString& text, Icon) override {
        messages << text;
        deepest = std::max(deepest, ++depth);
        QEventLoop loop;
        QTimer::singleShot(300, &loop, &QEventLoop::quit);
        loop.exec();
        --depth;
    }

    QStringList messages;
    int depth = 0;
    int deepest = 0;
};

} // namespace

class HostileTest : public QObject {
    Q_OBJECT

    fixtures::TempDir folder_;
    std::unique_ptr<formstest::CurrentDirectory> cwd_;
    std::unique_ptr<ModalDialogs> dialogs_;
    std::unique_ptr<formstest::MainWindow> window_;

    forms::TForm2& Form() { return *forms::Form2; }
    viewer::BrowserView& View() { return *forms::Form2->WebBrowser1; }
    QString Eval(const QString& script) { return formstest::Eval(View(), script).toString(); }
    QString Mark() {
        return Eval(QStringLiteral("(function(){var m=document.getElementById('mark');"
                                   "return m?m.textContent:'<none>';})()"));
    }

private slots:
    void initTestCase() {
        const std::string library = folder_.File("hostile.kvd");
        {
            auto builder = kvdbuild::KvdBuilder::Create(library);
            kvdbuild::CreateRegisterTables(builder, true);
            const std::vector<Vector> vectors = Vectors();
            std::vector<kvdbuild::RegisterRow> rows;
            for (std::size_t i = 0; i < vectors.size(); ++i) {
                const int id = static_cast<int>(i) + 1;
                rows.push_back({0, id, 0, vectors[i].name, id, 100 + id, 0, 1});
                kvdbuild::AddContent(builder, 100 + id, Document(vectors[i]));
            }
            rows.push_back({0, kCanary, 0, "Canary", kCanary, 100 + kCanary, 0, 1});
            kvdbuild::AddRegisterRows(builder, rows);
            kvdbuild::AddContent(builder, 100 + kCanary,
                                 "<html><head><title>Canary</title></head><body>"
                                 "<p id=\"mark\">canary</p></body></html>");
            builder.Close();
        }
        cwd_ =
            std::make_unique<formstest::CurrentDirectory>(QString::fromStdString(folder_.Path()));
        formstest::UseRegistry(folder_.File("machine.reg"),
                               formstest::RegistryText(formstest::PathValueLine(library)));
        dialogs_ = std::make_unique<ModalDialogs>();
        window_ = std::make_unique<formstest::MainWindow>();
        Form().showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(&Form()));
        View().SetMemoryLimit(kTestMemoryLimit);
        QVERIFY(dialogs_->messages.isEmpty());

        // The listener does hear the engine: a plain page (not the viewer's) asking for a remote
        // host reaches it through the proxy.
        QWebEnginePage plain;
        plain.load(QUrl(QStringLiteral("http://example.com/probe")));
        QTRY_VERIFY_WITH_TIMEOUT(listener->Requests().join(u' ').contains(u"example.com/probe"),
                                 20000);
    }

    void vectors_data() {
        QTest::addColumn<int>("index");
        const std::vector<Vector> vectors = Vectors();
        for (std::size_t i = 0; i < vectors.size(); ++i) {
            QTest::newRow(vectors[i].name) << static_cast<int>(i);
        }
    }

    void vectors() {
        QFETCH(int, index);
        const Vector vector = Vectors()[static_cast<std::size_t>(index)];
        const int before = listener->Connections();
        dialogs_->messages.clear();
        dialogs_->deepest = 0;

        QElapsedTimer clock;
        clock.start();
        bool canaryClicked = false;
        if (vector.hangs) {
            QTimer::singleShot(1500, this, [&] {
                canaryClicked = true;
                formstest::ClickTreeItem(kCanary);
            });
        }
        formstest::ClickTreeItem(index + 1);
        if (!vector.hangs) {
            formstest::Pump(1500); // let timers, frames, workers and candidates run
            if (vector.messages == 1 && !vector.staysPut) {
                // The bomb: however slow the machine, its page is stopped with a message.
                QTRY_VERIFY_WITH_TIMEOUT(!dialogs_->messages.isEmpty(), 30000);
            }
            if (vector.staysPut) {
                QCOMPARE(Mark(), QStringLiteral("v"));
                QVERIFY(Eval(QStringLiteral("location.href")).startsWith(u"about:blank"));
            }
            if (vector.staysPut || vector.messages == 0) {
                QCOMPARE(Form().StatusPanelText(0), QString::fromUtf8(vector.name0));
            }
            formstest::ClickTreeItem(kCanary);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!vector.hangs || canaryClicked, 10000);

        // The next click shows its document, soon, with nothing of the former one running.
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
        QTRY_COMPARE_WITH_TIMEOUT(Form().StatusPanelText(0), QStringLiteral("Canary"), 10000);
        QCOMPARE(Mark(), QStringLiteral("canary"));
        QVERIFY(!forms::DocumentLoading);
        formstest::Pump(300);
        QCOMPARE(Eval(QStringLiteral("document.title")), QStringLiteral("Canary"));
        QCOMPARE(Mark(), QStringLiteral("canary"));

        const auto* panel = Form().findChild<QLabel*>(QStringLiteral("StatusPanel0"));
        QVERIFY(panel);
        QCOMPARE(panel->textFormat(), Qt::PlainText);
        QVERIFY2(listener->Connections() == before,
                 qPrintable(listener->Requests().mid(before).join(u'\n')));
        QVERIFY(dialogs_->deepest <= 1);
        if (vector.messages == 1 && !vector.staysPut) {
            QCOMPARE(dialogs_->messages.size(), 1);
            QVERIFY(dialogs_->messages[0].contains(QStringLiteral("memory")));
        } else {
            QVERIFY2(dialogs_->messages.size() <= vector.messages,
                     qPrintable(dialogs_->messages.join(u'\n')));
        }
    }

    // The real message box shows what it is given as plain text.
    void messageBoxesShowPlainText() {
        ModalDialogs* mine = dialogs_.release();
        forms::SetDialogs(nullptr);
        Qt::TextFormat format = Qt::RichText;
        QString text;
        QTimer::singleShot(300, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) {
                return;
            }
            format = box->textFormat();
            text = box->text();
            box->accept();
        });
        forms::ShowErrorDisplay(std::make_exception_ptr(
            std::runtime_error("The document has no element named \"<img src=x>\"")));
        dialogs_.reset(mine);
        forms::SetDialogs(mine);
        QCOMPARE(format, Qt::PlainText);
        QVERIFY(text.contains(QStringLiteral("<img src=x>")));
    }

    void cleanupTestCase() {
        window_.reset();
        dialogs_.reset();
        cwd_.reset();
    }
};

int main(int argc, char** argv) {
    return formstest::RunTestMain([&] {
        formstest::LoopbackListener loopback(std::chrono::seconds(600));
        listener = &loopback;
        // Every request the engine would send to any host goes to the listener instead.
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        flags += " --proxy-server=127.0.0.1:" + QByteArray::number(loopback.Port());
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
        orvelle::viewer::PrepareEngine();
        QApplication application(argc, argv);
        application.setQuitOnLastWindowClosed(false);
        HostileTest test;
        return QTest::qExec(&test, argc, argv);
    });
}

#include "tst_hostile.moc"
