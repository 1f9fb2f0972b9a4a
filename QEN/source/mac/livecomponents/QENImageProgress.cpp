#include "QENImageProgress.h"

#include "Common/source/xplat/FileSystemPath.h"
#include "QEN/source/mac/QENEngineMac.h"

#include "platform/files/FileTree.h"

QENImageProgress::QENImageProgress(QENEngine& engine, QENController& controller)
    : engine_(engine), controller_(controller), started_(false), scriptReports_(false), total_(0), read_(0),
      percent_(0)
{
}

void QENImageProgress::Start()
{
    started_ = true;
    std::string assets;
    if (!engine_.GetProperty(QENEngineMac::kPropAssets, assets) || assets.empty())
        return;
    total_ = platform::CountFilesInTree(assets);
    if (total_ != 0)
        assets_ = assets + (assets.back() == '/' ? "" : "/");
}

void QENImageProgress::FileRead(const FileSystemPath& path)
{
    if (!started_)
        Start();
    if (assets_.empty() || scriptReports_ || read_ >= total_)
        return;
    const std::string& text = path.AsUTF8String();
    if (text.compare(0, assets_.size(), assets_) != 0 || text == last_)
        return;
    last_ = text;
    ++read_;
    const unsigned percent = static_cast<unsigned>(read_ * 100 / total_);
    if (percent == percent_)
        return;
    percent_ = percent;
    controller_.InstallFractionComplete(static_cast<double>(read_) / static_cast<double>(total_));
}
