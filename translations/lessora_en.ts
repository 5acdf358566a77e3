<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Audio</name>
    <message>
        <source>音声出力を開けません</source>
        <translation>Cannot open the sound output</translation>
    </message>
</context>
<context>
    <name>AudioExportWindow</name>
    <message>
        <source>音声ファイルに書き出しています…</source>
        <translation>Writing the audio file…</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>書き出し</source>
        <translation>Export</translation>
    </message>
    <message>
        <source>中止しています…</source>
        <translation>Stopping…</translation>
    </message>
    <message>
        <source>書き出しました。<byte value="xd"/>
%1<byte value="xd"/>
%2分%3秒、%4行</source>
        <translation>Written.<byte value="xd"/>
%1<byte value="xd"/>
%2 min %3 s, %4 lines</translation>
    </message>
    <message>
        <source><byte value="xd"/>
行ごとのファイル: %1 (%2個)</source>
        <translation><byte value="xd"/>
Files per line: %1 (%2 files)</translation>
    </message>
</context>
<context>
    <name>AudioInput</name>
    <message>
        <source>サウンドサーバーのライブラリを読み込めないため、録音できません。%1</source>
        <translation>The sound server&apos;s library cannot be loaded, so nothing can be recorded. %1</translation>
    </message>
    <message>
        <source>マイクなどの録音できる入力装置が見つかりません。</source>
        <translation>No input device to record from (a microphone) was found.</translation>
    </message>
    <message>
        <source>サウンドサーバーに接続できないため、録音できません。</source>
        <translation>The sound server cannot be reached, so nothing can be recorded.</translation>
    </message>
    <message>
        <source>録音を始められません。</source>
        <translation>Recording cannot be started.</translation>
    </message>
    <message>
        <source>入力装置から録音できません。</source>
        <translation>The input device cannot be recorded from.</translation>
    </message>
    <message>
        <source>録音中に入力装置が使えなくなりました。</source>
        <translation>The input device stopped working while recording.</translation>
    </message>
</context>
<context>
    <name>CompareWindow</name>
    <message>
        <source>%1 Hz</source>
        <translation>%1 Hz</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>この行の録音はまだありません。「録音する」をオンにして練習すると、ここで手本と比べられます。</source>
        <translation>No recording of this line yet. Turn on Record and practise, then compare it with the model here.</translation>
    </message>
</context>
<context>
    <name>Export</name>
    <message>
        <source>音声ファイルを書き出すためのライブラリ libsndfile を読み込めません。<byte value="xd"/>
%1</source>
        <translation>Cannot load libsndfile, the library that writes audio files.<byte value="xd"/>
%1</translation>
    </message>
    <message>
        <source>この形式では書き出せません: %1</source>
        <translation>Cannot write this format: %1</translation>
    </message>
    <message>
        <source>ファイルを作成できません: %1<byte value="xd"/>
%2</source>
        <translation>Cannot create the file: %1<byte value="xd"/>
%2</translation>
    </message>
    <message>
        <source>ファイルは閉じられています: %1</source>
        <translation>The file is closed: %1</translation>
    </message>
    <message>
        <source>音声を書き込めません</source>
        <translation>Cannot write the audio</translation>
    </message>
    <message>
        <source>ファイルを作成できません</source>
        <translation>Cannot create the file</translation>
    </message>
    <message>
        <source>フォルダを作成できません</source>
        <translation>Cannot create the folder</translation>
    </message>
    <message>
        <source>フォルダにはほかのファイルがあるため、書き出せません: %1</source>
        <translation>Cannot write: the folder has other files in it: %1</translation>
    </message>
    <message>
        <source>ファイルに名前を付けられません</source>
        <translation>Cannot name the file</translation>
    </message>
    <message>
        <source>書き込めません</source>
        <translation>Cannot write</translation>
    </message>
    <message>
        <source>同じ名前のファイルがあるため、フォルダを作成できません: %1</source>
        <translation>Cannot create the folder: a file has the same name: %1</translation>
    </message>
    <message>
        <source>フォルダを作成できません: %1</source>
        <translation>Cannot create the folder: %1</translation>
    </message>
    <message>
        <source>一覧を書き込めません</source>
        <translation>Cannot write the index</translation>
    </message>
    <message>
        <source>%1行目を音声にできません。<byte value="xd"/>
%2</source>
        <translation>Cannot turn line %1 into audio.<byte value="xd"/>
%2</translation>
    </message>
    <message>
        <source>行ごとのファイルのフォルダにはすでにファイルがあります。空のフォルダか新しい名前を選んでください: %1</source>
        <translation>The folder for the files per line already has files in it. Choose an empty folder or a new name: %1</translation>
    </message>
    <message>
        <source>教材ファイルと同じファイルには書き出せません: %1</source>
        <translation>Cannot write over the lesson file: %1</translation>
    </message>
    <message>
        <source>行ごとのファイルのフォルダには書き出せません: %1</source>
        <translation>Cannot write into the folder of the files per line: %1</translation>
    </message>
    <message>
        <source>書き出せるのは .wav、.flac、.opus、.mp3 のファイルです: %1</source>
        <translation>Only .wav, .flac, .opus and .mp3 files can be written: %1</translation>
    </message>
    <message>
        <source>書き出しを中止しました。</source>
        <translation>The export was stopped.</translation>
    </message>
    <message>
        <source>読み上げる行がないため、書き出せません。</source>
        <translation>Nothing to write: the lesson has no line to read aloud.</translation>
    </message>
</context>
<context>
    <name>Files</name>
    <message>
        <source>ファイルが大きすぎます</source>
        <translation>The file is too large</translation>
    </message>
    <message>
        <source>ファイルが見つかりません</source>
        <translation>The file does not exist</translation>
    </message>
    <message>
        <source>ファイルを読み込む権限がありません</source>
        <translation>No permission to read the file</translation>
    </message>
    <message>
        <source>シンボリックリンクが循環しているため、ファイルを開けません</source>
        <translation>Cannot open the file: its symbolic links form a loop</translation>
    </message>
    <message>
        <source>途中のフォルダが見つかりません</source>
        <translation>A folder on the way does not exist</translation>
    </message>
    <message>
        <source>ファイル名が長すぎます</source>
        <translation>The file name is too long</translation>
    </message>
    <message>
        <source>フォルダは開けません</source>
        <translation>A folder cannot be opened</translation>
    </message>
    <message>
        <source>ファイルを読み込めません (エラー番号 %1)</source>
        <translation>Cannot read the file (error number %1)</translation>
    </message>
    <message>
        <source>通常のファイルではないため、開けません</source>
        <translation>Cannot open it: it is not a regular file</translation>
    </message>
    <message>
        <source>Unicode 文字のマッピングがターゲットのマルチバイト コード ページに存在しません</source>
        <translation>No mapping for the Unicode character exists in the target multi-byte code page</translation>
    </message>
    <message>
        <source>JSONファイルを読み込めませんでした。</source>
        <translation>The JSON file could not be read.</translation>
    </message>
    <message>
        <source>正しい教材ファイルではありません。</source>
        <translation>This is not a valid lesson file.</translation>
    </message>
    <message>
        <source>教材データが見つかりません。</source>
        <translation>No lesson data was found.</translation>
    </message>
    <message>
        <source>読み込みました。</source>
        <translation>Loaded.</translation>
    </message>
    <message>
        <source>保存しました。</source>
        <translation>Saved.</translation>
    </message>
    <message>
        <source>無効なクラス型キャスト</source>
        <translation>Invalid class typecast</translation>
    </message>
    <message>
        <source>JSONファイル (*.json)|*.json</source>
        <translation>JSON files (*.json)|*.json</translation>
    </message>
    <message>
        <source>%1 から %2 への変換はサポートされていません</source>
        <translation>Conversion from %1 to %2 is not supported</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は整数ではありません</source>
        <translation>&apos;%1&apos; is not a valid integer value</translation>
    </message>
    <message>
        <source>&apos;%1&apos; は正しい論理型ではありません</source>
        <translation>&apos;%1&apos; is not a valid Boolean value</translation>
    </message>
    <message>
        <source>値 &apos;%1&apos; が見つかりません</source>
        <translation>Value &apos;%1&apos; not found</translation>
    </message>
</context>
<context>
    <name>Lesson</name>
    <message>
        <source>クリップボードに文字列がありません。</source>
        <translation>The clipboard holds no text.</translation>
    </message>
    <message>
        <source>話者</source>
        <translation>Spkr</translation>
    </message>
    <message>
        <source>言語</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>テキスト</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>待ち時間</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>入力されている内容をすべて消去します。<byte value="xd"/>
よろしいですか？</source>
        <translation>Everything in the table will be erased.<byte value="xd"/>
Are you sure?</translation>
    </message>
</context>
<context>
    <name>MainWindowAccessibility</name>
    <message>
        <source>行を上へ移動</source>
        <translation>Move the row up</translation>
    </message>
    <message>
        <source>行を下へ移動</source>
        <translation>Move the row down</translation>
    </message>
    <message>
        <source>右クリックまたはメニューキーで最近使った教材を開けます</source>
        <translation>Right-click or press the menu key to open a recent lesson</translation>
    </message>
    <message>
        <source>教材</source>
        <translation>Lesson</translation>
    </message>
    <message>
        <source>%1行目を読み上げ中</source>
        <translation>Reading line %1 aloud</translation>
    </message>
</context>
<context>
    <name>MessageBoxes</name>
    <message>
        <source>確認</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>はい</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>いいえ</source>
        <translation>No</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>MissingVoiceNote</name>
    <message>
        <source>Open JTalk の音声 %1 がインストールされていません</source>
        <translation>The Open JTalk voice %1 is not installed</translation>
    </message>
    <message>
        <source>日本語はアクセントのない eSpeak NG の音声で読まれます。パッケージは Debian の contrib にあります。</source>
        <translation>Japanese is read by the eSpeak NG voices, without pitch accent. The package is in Debian&apos;s contrib component.</translation>
    </message>
</context>
<context>
    <name>Options</name>
    <message>
        <source>なし</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>0.5秒</source>
        <translation>0.5 s</translation>
    </message>
    <message>
        <source>1秒</source>
        <translation>1 s</translation>
    </message>
    <message>
        <source>2秒</source>
        <translation>2 s</translation>
    </message>
    <message>
        <source>3秒</source>
        <translation>3 s</translation>
    </message>
    <message>
        <source>5秒</source>
        <translation>5 s</translation>
    </message>
    <message>
        <source>10秒</source>
        <translation>10 s</translation>
    </message>
    <message>
        <source>遅い</source>
        <translation>Slow</translation>
    </message>
    <message>
        <source>やや遅い</source>
        <translation>A bit slow</translation>
    </message>
    <message>
        <source>標準</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>やや速い</source>
        <translation>A bit fast</translation>
    </message>
    <message>
        <source>速い</source>
        <translation>Fast</translation>
    </message>
    <message>
        <source>1回</source>
        <translation>1×</translation>
    </message>
    <message>
        <source>2回</source>
        <translation>2×</translation>
    </message>
    <message>
        <source>3回</source>
        <translation>3×</translation>
    </message>
    <message>
        <source>5回</source>
        <translation>5×</translation>
    </message>
    <message>
        <source>10回</source>
        <translation>10×</translation>
    </message>
    <message>
        <source>0.7倍</source>
        <translation>0.7×</translation>
    </message>
    <message>
        <source>0.8倍</source>
        <translation>0.8×</translation>
    </message>
    <message>
        <source>0.9倍</source>
        <translation>0.9×</translation>
    </message>
    <message>
        <source>1.1倍</source>
        <translation>1.1×</translation>
    </message>
    <message>
        <source>1.25倍</source>
        <translation>1.25×</translation>
    </message>
    <message>
        <source>1.0倍</source>
        <translation>1.0×</translation>
    </message>
    <message>
        <source>1.3倍</source>
        <translation>1.3×</translation>
    </message>
    <message>
        <source>1.5倍</source>
        <translation>1.5×</translation>
    </message>
    <message>
        <source>2.0倍</source>
        <translation>2.0×</translation>
    </message>
    <message>
        <source>4回</source>
        <translation>4×</translation>
    </message>
</context>
<context>
    <name>Platform</name>
    <message>
        <source>予期しないエラーが発生しました</source>
        <translation>An unexpected error occurred</translation>
    </message>
    <message>
        <source>%1 に %2 がありません</source>
        <translation>%1 has no %2</translation>
    </message>
</context>
<context>
    <name>Playback</name>
    <message>
        <source>%1/%2行 %3/%4回</source>
        <translation>Line %1/%2 Pass %3/%4</translation>
    </message>
    <message>
        <source> 一時停止中</source>
        <translation> Paused</translation>
    </message>
    <message>
        <source> あなたの番です</source>
        <translation> Your turn</translation>
    </message>
    <message>
        <source>設定された音声が使用できないため、<byte value="xd"/>
代替音声で読み上げます。<byte value="xd"/>
音声: </source>
        <translation>The chosen voice cannot be used,<byte value="xd"/>
so another voice reads instead.<byte value="xd"/>
Voice: </translation>
    </message>
    <message>
        <source>(既定の音声)</source>
        <translation>(default voice)</translation>
    </message>
    <message>
        <source><byte value="xd"/>
エラー: </source>
        <translation><byte value="xd"/>
Error: </translation>
    </message>
    <message>
        <source>このOneCore音声は使用できません。<byte value="xd"/>
</source>
        <translation>This OneCore voice cannot be used.<byte value="xd"/>
</translation>
    </message>
    <message>
        <source>この音声は使用できません。<byte value="xd"/>
</source>
        <translation>This voice cannot be used.<byte value="xd"/>
</translation>
    </message>
    <message>
        <source>設定された音声が見つからないため、<byte value="xd"/>
代替音声で読み上げます。<byte value="xd"/>
音声: </source>
        <translation>The chosen voice was not found,<byte value="xd"/>
so another voice reads instead.<byte value="xd"/>
Voice: </translation>
    </message>
</context>
<context>
    <name>Recording</name>
    <message>
        <source>録音を保存するためのライブラリ libsndfile を読み込めません。
%1</source>
        <translation>The library libsndfile, which saves the recordings, cannot be loaded.
%1</translation>
    </message>
    <message>
        <source>録音を保存できません: %1
%2</source>
        <translation>The recording cannot be saved: %1
%2</translation>
    </message>
    <message>
        <source>フォルダーを作成できません。</source>
        <translation>The folder cannot be created.</translation>
    </message>
    <message>
        <source>音声を書き込めません。</source>
        <translation>The sound cannot be written.</translation>
    </message>
    <message>
        <source>削除できない録音があります:
%1</source>
        <translation>Some recordings cannot be deleted:
%1</translation>
    </message>
    <message>
        <source>録音のフォルダーを作成できません: %1</source>
        <translation>The recordings folder cannot be created: %1</translation>
    </message>
    <message>
        <source>録音を移動できません: %1 → %2</source>
        <translation>The recording cannot be moved: %1 → %2</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>%1 に書き込めません</source>
        <translation>Cannot write to %1</translation>
    </message>
</context>
<context>
    <name>Voices</name>
    <message>
        <source>Open JTalk の音声がインストールされていません</source>
        <translation>The Open JTalk voice is not installed</translation>
    </message>
    <message>
        <source>eSpeak NG の音声データが見つかりません</source>
        <translation>The eSpeak NG voice data was not found</translation>
    </message>
    <message>
        <source>話す速さは -10 から 10 までです: %1</source>
        <translation>The speaking rate goes from -10 to 10: %1</translation>
    </message>
    <message>
        <source>音声のカテゴリが見つかりません: %1</source>
        <translation>No such voice category: %1</translation>
    </message>
    <message>
        <source>音声のカテゴリが設定されていません</source>
        <translation>No voice category is set</translation>
    </message>
    <message>
        <source>この音声はこのエンジンでは使用できません</source>
        <translation>This voice cannot be used with this engine</translation>
    </message>
    <message>
        <source>音声が見つかりません: %1</source>
        <translation>Voice not found: %1</translation>
    </message>
    <message>
        <source>音声出力装置が見つかりません</source>
        <translation>No sound output device</translation>
    </message>
    <message>
        <source>eSpeak NG を読み込めません: %1</source>
        <translation>Cannot load eSpeak NG: %1</translation>
    </message>
    <message>
        <source>eSpeak NG の音声 %1 が見つかりません</source>
        <translation>The eSpeak NG voice %1 was not found</translation>
    </message>
    <message>
        <source>eSpeak NG が読み上げに失敗しました (%1)</source>
        <translation>eSpeak NG failed to speak (%1)</translation>
    </message>
    <message>
        <source>Flite の音声 %1 が見つかりません</source>
        <translation>The Flite voice %1 was not found</translation>
    </message>
    <message>
        <source>open_jtalk の出力を読めません</source>
        <translation>Cannot read the output of open_jtalk</translation>
    </message>
    <message>
        <source>%1 を起動できません: %2</source>
        <translation>Cannot start %1: %2</translation>
    </message>
    <message>
        <source>%1 が応答しません</source>
        <translation>%1 does not respond</translation>
    </message>
    <message>
        <source>%1 を中止しました</source>
        <translation>%1 was stopped</translation>
    </message>
    <message>
        <source>%1 の出力が大きすぎます</source>
        <translation>The output of %1 is too large</translation>
    </message>
    <message>
        <source>シグナル %1 で終了しました</source>
        <translation>ended by signal %1</translation>
    </message>
    <message>
        <source>終了コード %1 で終了しました</source>
        <translation>ended with exit code %1</translation>
    </message>
    <message>
        <source>%1 が%2</source>
        <translation>%1 %2</translation>
    </message>
    <message>
        <source>%1 が%2: %3</source>
        <translation>%1 %2: %3</translation>
    </message>
    <message>
        <source>この音声エンジンは音声をファイルに書き出せません</source>
        <translation>This speech engine cannot write speech to a file</translation>
    </message>
    <message>
        <source>音声を合成できません</source>
        <translation>Cannot synthesise the speech</translation>
    </message>
    <message>
        <source>音声の番号が範囲外です: %1</source>
        <translation>Voice number out of range: %1</translation>
    </message>
</context>
<context>
    <name>lessora::CompareWindow</name>
    <message>
        <source>%1行目を比べられません。
%2</source>
        <translation>Line %1 cannot be compared.
%2</translation>
    </message>
    <message>
        <source>聞き比べる</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>手本の波形と声の高さ</source>
        <translation>The model&apos;s waveform and pitch</translation>
    </message>
    <message>
        <source>あなたの波形と声の高さ</source>
        <translation>Your waveform and pitch</translation>
    </message>
    <message>
        <source>手本を再生(&amp;M)</source>
        <translation>Play the &amp;model</translation>
    </message>
    <message>
        <source>手本の声を再生します (Alt+M)</source>
        <translation>Plays the model&apos;s voice (Alt+M)</translation>
    </message>
    <message>
        <source>手本を再生</source>
        <translation>Play the model</translation>
    </message>
    <message>
        <source>自分の声を再生(&amp;V)</source>
        <translation>Play your &amp;voice</translation>
    </message>
    <message>
        <source>この行のあなたの最新の録音を再生します (Alt+V)</source>
        <translation>Plays your latest recording of this line (Alt+V)</translation>
    </message>
    <message>
        <source>自分の声を再生</source>
        <translation>Play your voice</translation>
    </message>
    <message>
        <source>%1行目の手本を用意しています…</source>
        <translation>Preparing the model of line %1…</translation>
    </message>
    <message>
        <source>%1行目: %2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>手本</source>
        <translation>Model</translation>
    </message>
    <message>
        <source>あなた</source>
        <translation>You</translation>
    </message>
    <message>
        <source>手本: %1</source>
        <translation>Model: %1</translation>
    </message>
    <message>
        <source>あなた: %1</source>
        <translation>You: %1</translation>
    </message>
    <message>
        <source>長さ %1秒</source>
        <translation>length %1 s</translation>
    </message>
    <message>
        <source>%1、声の高さは測れません</source>
        <translation>%1, pitch not measurable</translation>
    </message>
    <message>
        <source>%1、高さの幅 %2半音(%3〜%4 Hz)</source>
        <translation>%1, pitch range %2 semitones (%3–%4 Hz)</translation>
    </message>
    <message>
        <source>長さの差: 手本と同じ</source>
        <translation>Difference in length: the same as the model</translation>
    </message>
    <message>
        <source>長さの差: あなたが%1秒長い</source>
        <translation>Difference in length: you are %1 s longer</translation>
    </message>
    <message>
        <source>長さの差: あなたが%1秒短い</source>
        <translation>Difference in length: you are %1 s shorter</translation>
    </message>
</context>
<context>
    <name>lessora::LessonDocument</name>
    <message>
        <source>教材が変更されています。保存しますか？</source>
        <translation>The lesson has changed. Save it?</translation>
    </message>
    <message>
        <source>最近使った教材</source>
        <translation>Recent lessons</translation>
    </message>
    <message>
        <source>（なし）</source>
        <translation>(none)</translation>
    </message>
</context>
<context>
    <name>lessora::LessonRecorder</name>
    <message>
        <source>録音できません。%1
録音せずに続けます。</source>
        <translation>Recording is not possible. %1
The run goes on without recording.</translation>
    </message>
</context>
<context>
    <name>lessora::MainWindow</name>
    <message>
        <source>一時停止</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>再生</source>
        <translation>Resume</translation>
    </message>
    <message>
        <source>読み上げ</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>前の行</source>
        <translation>Previous</translation>
    </message>
    <message>
        <source>次の行</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>音声設定</source>
        <translation>Set voices</translation>
    </message>
    <message>
        <source>インターバル</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>英語速度</source>
        <translation>English</translation>
    </message>
    <message>
        <source>繰り返し</source>
        <translation>Passes</translation>
    </message>
    <message>
        <source>音声一覧</source>
        <translation>Voice list</translation>
    </message>
    <message>
        <source>テキストを隠す</source>
        <translation>Hide text</translation>
    </message>
    <message>
        <source>貼り付け</source>
        <translation>Paste</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>読み込み</source>
        <translation>Load</translation>
    </message>
    <message>
        <source>音声確認</source>
        <translation>Test voices</translation>
    </message>
    <message>
        <source>行挿入</source>
        <translation>Insert row</translation>
    </message>
    <message>
        <source>行末尾追加</source>
        <translation>Add rows</translation>
    </message>
    <message>
        <source>行削除</source>
        <translation>Delete row</translation>
    </message>
    <message>
        <source>クリア</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>ここから再生</source>
        <translation>Play from here</translation>
    </message>
    <message>
        <source>練習 «</source>
        <translation>Practice «</translation>
    </message>
    <message>
        <source>練習 »</source>
        <translation>Practice »</translation>
    </message>
    <message>
        <source>練習の設定</source>
        <translation>Practice settings</translation>
    </message>
    <message>
        <source>練習の設定を表示します。もう一度押すと隠します</source>
        <translation>Shows the practice settings; press again to hide them</translation>
    </message>
    <message>
        <source>聞き比べる行を選んでください(話者とテキストのある行)。</source>
        <translation>Choose the line to compare (a line with a speaker and text).</translation>
    </message>
    <message>
        <source>この教材の録音はありません。</source>
        <translation>This lesson has no recordings.</translation>
    </message>
    <message>
        <source>この教材の録音 %1 件を削除しますか？
%2</source>
        <translation>Delete the %1 recordings of this lesson?
%2</translation>
    </message>
</context>
<context>
    <name>lessora::PracticePanel</name>
    <message>
        <source>「この行を見る」を押している間、選んだ行をここに表示します</source>
        <translation>While you hold &quot;Peek at this line&quot;, the selected line shows here</translation>
    </message>
    <message>
        <source>選んだ話者の行は読み上げず、あなたが答える時間になります</source>
        <translation>The lines of the chosen speaker are not read aloud: you answer them</translation>
    </message>
    <message>
        <source>練習する話者(&amp;R)</source>
        <translation>&amp;Role-play</translation>
    </message>
    <message>
        <source>答えの後に手本を聞く(&amp;M)</source>
        <translation>&amp;Model after the answer</translation>
    </message>
    <message>
        <source>答える時間の後に、その行を読み上げます</source>
        <translation>After the time to answer, the line is read aloud</translation>
    </message>
    <message>
        <source>答える時間: その行を読み上げる長さの何倍か</source>
        <translation>Time to answer: how many times as long as the line takes to read</translation>
    </message>
    <message>
        <source>答える時間(&amp;T)</source>
        <translation>Answer &amp;time</translation>
    </message>
    <message>
        <source>1行を何回読み上げてから次の行に進むか</source>
        <translation>How many times each line is read before the next</translation>
    </message>
    <message>
        <source>1行の回数(&amp;N)</source>
        <translation>Times per li&amp;ne</translation>
    </message>
    <message>
        <source>シャドーイングの間(&amp;H)</source>
        <translation>S&amp;hadowing gap</translation>
    </message>
    <message>
        <source>同じ行を繰り返す間に、後について言うための、その行と同じ長さの無音を入れます</source>
        <translation>Between the repeats of a line, a silence as long as the line, to say it after the voice</translation>
    </message>
    <message>
        <source>日本語の行を読み上げる速さ</source>
        <translation>The speed of the Japanese lines</translation>
    </message>
    <message>
        <source>日本語速度(&amp;J)</source>
        <translation>&amp;Japanese speed</translation>
    </message>
    <message>
        <source>英語を0.7倍に(&amp;E)</source>
        <translation>&amp;English at 0.7×</translation>
    </message>
    <message>
        <source>英語の行を「英語速度」より遅く、標準の0.7倍で読み上げます</source>
        <translation>Reads the English lines slower than &quot;English&quot; offers: at 0.7 times the normal speed</translation>
    </message>
    <message>
        <source>読みを表示(&amp;Y)</source>
        <translation>Show rea&amp;dings</translation>
    </message>
    <message>
        <source>日本語の行の下に、音声が読むかなを表示します</source>
        <translation>Shows under each Japanese line the kana the voice reads</translation>
    </message>
    <message>
        <source>アクセントを表示(&amp;A)</source>
        <translation>Show &amp;accent</translation>
    </message>
    <message>
        <source>読みの上に、音声が話す高さ(高い拍の上の線、下がる所のかぎ)を表示します</source>
        <translation>Marks the pitch the voice speaks over the readings (a line over high morae, a hook where it falls)</translation>
    </message>
    <message>
        <source>この行を見る(&amp;K)</source>
        <translation>Pee&amp;k at this line</translation>
    </message>
    <message>
        <source>この行を見る</source>
        <translation>Peek at this line</translation>
    </message>
    <message>
        <source>押している間だけ、選んでいる行のテキストと読みを表示します</source>
        <translation>Shows the selected line&apos;s text and reading while held down</translation>
    </message>
    <message>
        <source>のぞいている行</source>
        <translation>The line peeked at</translation>
    </message>
    <message>
        <source>再生している位置</source>
        <translation>Where playback is</translation>
    </message>
    <message>
        <source>音声ファイルに書き出す(&amp;W)…</source>
        <translation>&amp;Write audio file…</translation>
    </message>
    <message>
        <source>音声ファイルに書き出す</source>
        <translation>Write audio file</translation>
    </message>
    <message>
        <source>教材を、今の音声・間・回数・速さ・練習の設定のまま、1つの音声ファイル(MP3、Opus、FLAC、WAV)に書き出します</source>
        <translation>Writes the lesson as one audio file (MP3, Opus, FLAC, WAV) with the voices, pauses, passes, speeds and practice settings as they are now</translation>
    </message>
    <message>
        <source>行ごとのファイルも(&amp;L)</source>
        <translation>A file per &amp;line too</translation>
    </message>
    <message>
        <source>各行を別のファイルにし、単語カード用の一覧 index.tsv も書き出します</source>
        <translation>Writes each line as a file of its own too, with index.tsv for flashcard programs</translation>
    </message>
    <message>
        <source>録音する(&amp;O)</source>
        <translation>Rec&amp;ord</translation>
    </message>
    <message>
        <source>答える時間とシャドーイングの間に、マイクから録音します。録音は教材の横の「教材名.recordings」フォルダーに残ります。右クリック(またはメニューキー)で録音を削除できます</source>
        <translation>Records the answer and shadowing gaps from the microphone. The recordings are kept beside the lesson, in the folder &quot;lesson name.recordings&quot;. Right click (or the menu key) to delete them</translation>
    </message>
    <message>
        <source>自分の声を聞く(&amp;I)</source>
        <translation>Hear &amp;it back</translation>
    </message>
    <message>
        <source>録音した自分の声を、その間のすぐ後に再生します(答えの後に手本を聞くときは、その前に)</source>
        <translation>Plays your recording right after its gap (before the model, when the model follows the answer)</translation>
    </message>
    <message>
        <source>録音を削除(&amp;D)…</source>
        <translation>&amp;Delete recordings…</translation>
    </message>
    <message>
        <source>聞き比べる(&amp;C)…</source>
        <translation>&amp;Compare…</translation>
    </message>
    <message>
        <source>聞き比べる</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>選んだ行の手本とあなたの最新の録音を、波形と声の高さで並べて比べます</source>
        <translation>Compares the model of the selected line with your latest recording: waveform and pitch, one above the other</translation>
    </message>
</context>
<context>
    <name>lessora::VoiceCheckDialog</name>
    <message>
        <source>取得できません</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>▶ 確認中...</source>
        <translation>▶ Testing...</translation>
    </message>
    <message>
        <source>○ 使用可能</source>
        <translation>○ Usable</translation>
    </message>
    <message>
        <source>× 使用不可</source>
        <translation>× Unusable</translation>
    </message>
    <message>
        <source>使用可能な音声の確認</source>
        <translation>Check the usable voices</translation>
    </message>
    <message>
        <source>全音声をチェック</source>
        <translation>Check all voices</translation>
    </message>
</context>
<context>
    <name>lessora::VoiceSettingsDialog</name>
    <message>
        <source>この音声は使用できます。<byte value="xd"/>
</source>
        <translation>This voice can be used.<byte value="xd"/>
</translation>
    </message>
    <message>
        <source>この音声は使用できません。<byte value="xd"/>
</source>
        <translation>This voice cannot be used.<byte value="xd"/>
</translation>
    </message>
    <message>
        <source><byte value="xd"/>
エラー: </source>
        <translation><byte value="xd"/>
Error: </translation>
    </message>
    <message>
        <source>音声設定</source>
        <translation>Voice settings</translation>
    </message>
    <message>
        <source>話者A</source>
        <translation>Spk A</translation>
    </message>
    <message>
        <source>話者B</source>
        <translation>Spk B</translation>
    </message>
    <message>
        <source>話者C</source>
        <translation>Spk C</translation>
    </message>
    <message>
        <source>話者Q</source>
        <translation>Spk Q</translation>
    </message>
    <message>
        <source>話者R</source>
        <translation>Spk R</translation>
    </message>
    <message>
        <source>話者S</source>
        <translation>Spk S</translation>
    </message>
    <message>
        <source>テスト</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>使用できる音声</source>
        <translation>Usable voices</translation>
    </message>
    <message>
        <source>全音声</source>
        <translation>All voices</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>使用可能な音声がまだ確認されていません。<byte value="xd"/>
先に「音声確認」で全音声をチェックしてください。</source>
        <translation>The usable voices have not been checked yet.<byte value="xd"/>
First check all voices in &quot;Test voices&quot;.</translation>
    </message>
    <message>
        <source>選択された音声が見つかりません。</source>
        <translation>The chosen voice was not found.</translation>
    </message>
</context>
</TS>
