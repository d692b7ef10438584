#include "mainwin/forms/pdf_part_printer.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <map>
#include <memory>

#include "mainwin/forms/page_viewer.h"

namespace pdf_part_printer {

namespace {

// How often a waiting print looks at the clock and lets the caller cancel.
constexpr int kLookEveryMs = 100;

// What the engine's answers reach; it outlives the wait, since an answer may come after it.
struct Shared {
    std::vector<pdf_book::Part> parts;
    Progress progress;
    bool over = false;
    bool failed = false;
};

class Run {
public:
    Run(const QStringList& files, const QPageLayout& layout, int timeoutMs, int atOnce)
        : files_(files), layout_(layout), timeoutMs_(timeoutMs), shared_(std::make_shared<Shared>()) {
        shared_->parts.resize(size_t(files.size()));
        shared_->progress.parts = int(files.size());
        atOnce_ = atOnce > 0 ? atOnce : std::max(1, QThread::idealThreadCount());
    }

    Result Go(const Report& report) {
        report_ = &report;
        for (int i = 0; i < atOnce_ && next_ < files_.size(); ++i) startNext();
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, &loop_, [this] {
            for (const auto& [index, job] : jobs_)
                if (job.clock.elapsed() > timeoutMs_) return fail();
            tell();
        });
        look.start(kLookEveryMs);
        if (!finished()) loop_.exec();
        shared_->over = true;
        // The engine pages go at once (no call of theirs is under way now); an answer still on its way
        // finds the wait over.
        jobs_.clear();
        Result result;
        if (cancelled_) {
            result.outcome = Outcome::Cancelled;
        } else if (shared_->failed) {
            result.outcome = Outcome::Failed;
        } else {
            result.outcome = Outcome::Done;
            result.parts = std::move(shared_->parts);
        }
        return result;
    }

private:
    struct Job {
        std::unique_ptr<QWebEnginePage> page;
        QElapsedTimer clock;
    };

    bool finished() const {
        return cancelled_ || shared_->failed || shared_->progress.partsDone == shared_->progress.parts;
    }

    void fail() {
        shared_->failed = true;
        loop_.quit();
    }

    // Once cancelled or failed the caller is asked nothing more: events already queued when the wait was
    // told to end (the clock's look, another part's answer) still run before it returns.
    void tell() {
        if (finished()) return;
        if ((*report_)(shared_->progress)) return;
        cancelled_ = true;
        loop_.quit();
    }

    void startNext() {
        const int index = next_++;
        Job& job = jobs_[index];
        job.page = std::make_unique<QWebEnginePage>();
        job.clock.start();
        QWebEnginePage* page = job.page.get();
        PageViewer::PrepareForStoredPages(page);
        QObject::connect(page, &QWebEnginePage::loadFinished, page,
                         [this, shared = shared_, page, index](bool ok) {
                             if (shared->over) return;
                             if (!ok) return fail();
                             page->printToPdf(
                                 [this, shared = shared_, index](const QByteArray& pdf) {
                                     if (!shared->over) partDone(index, pdf);
                                 },
                                 layout_);
                         });
        page->load(QUrl::fromLocalFile(files_[index]));
    }

    void partDone(int index, const QByteArray& pdf) {
        if (cancelled_ || shared_->failed) return;
        const int firstPage = index > 0 ? 1 : 0;
        const int pages = pdf_book::PageCount(pdf);
        if (pages <= firstPage) return fail();
        shared_->parts[size_t(index)] = {pdf, firstPage};
        shared_->progress.pages += pages - firstPage;
        ++shared_->progress.partsDone;
        // Called from inside the engine page: it goes once the call is over, and says nothing more.
        if (auto it = jobs_.find(index); it != jobs_.end()) {
            QWebEnginePage* page = it->second.page.release();
            page->disconnect();
            page->deleteLater();
            jobs_.erase(it);
        }
        if (finished()) return loop_.quit();
        tell();
        if (!finished() && next_ < files_.size()) startNext();
    }

    QStringList files_;
    QPageLayout layout_;
    int timeoutMs_;
    int atOnce_ = 1;
    int next_ = 0;
    bool cancelled_ = false;
    const Report* report_ = nullptr;
    std::shared_ptr<Shared> shared_;
    std::map<int, Job> jobs_;
    QEventLoop loop_;
};

}  // namespace

Result Print(const QStringList& files, const QPageLayout& layout, const Report& report, int timeoutMs,
             int atOnce) {
    return Run(files, layout, timeoutMs, atOnce).Go(report);
}

}  // namespace pdf_part_printer
