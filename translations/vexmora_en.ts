<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>Dialogs</name>
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
    <name>Errors</name>
    <message>
        <source>指定されたファイルが見つかりません。</source>
        <translation>The file was not found.</translation>
    </message>
    <message>
        <source>指定されたパスが見つかりません。</source>
        <translation>The path was not found.</translation>
    </message>
    <message>
        <source>アクセスが拒否されました。</source>
        <translation>Access is denied.</translation>
    </message>
    <message>
        <source>フォルダーの一覧が上限を超えたため、途中で打ち切りました。</source>
        <translation>The folder listing exceeded the limit and was cut short.</translation>
    </message>
    <message>
        <source>これ以上ファイルはありません。</source>
        <translation>There are no more files.</translation>
    </message>
    <message>
        <source>プロセスはファイルにアクセスできません。別のプロセスが使用中です。</source>
        <translation>The file cannot be accessed because another process is using it.</translation>
    </message>
    <message>
        <source>パラメーターが間違っています。</source>
        <translation>The parameter is incorrect.</translation>
    </message>
    <message>
        <source>ディレクトリが空ではありません。</source>
        <translation>The folder is not empty.</translation>
    </message>
    <message>
        <source>既に存在するファイルを作成することはできません。</source>
        <translation>Cannot create a file that already exists.</translation>
    </message>
    <message>
        <source>通常のファイルではないため、開けません (FIFO、ソケット、デバイスは扱えません)。</source>
        <translation>Not a regular file, so it cannot be opened (FIFOs, sockets and devices are not handled).</translation>
    </message>
    <message>
        <source>転送が途中で打ち切られました。</source>
        <translation>The transfer was cut short.</translation>
    </message>
    <message>
        <source>操作はタイムアウトしました。</source>
        <translation>The operation timed out.</translation>
    </message>
    <message>
        <source>サーバー名またはアドレスは解決されませんでした。</source>
        <translation>The server name or address could not be resolved.</translation>
    </message>
    <message>
        <source>パスワードが正しくありません。</source>
        <translation>The password is incorrect.</translation>
    </message>
    <message>
        <source>ログインに失敗しました。</source>
        <translation>The login failed.</translation>
    </message>
    <message>
        <source>サーバーに接続できませんでした。</source>
        <translation>Could not connect to the server.</translation>
    </message>
    <message>
        <source>サーバーとの接続が切断されました。</source>
        <translation>The connection to the server was broken.</translation>
    </message>
    <message>
        <source>サーバーとの接続がリセットされました。</source>
        <translation>The connection to the server was reset.</translation>
    </message>
    <message>
        <source>FTP セッションが切断されました。</source>
        <translation>The FTP session was dropped.</translation>
    </message>
    <message>
        <source>暗号化された接続 (TLS) を確立できませんでした。</source>
        <translation>Could not establish an encrypted connection (TLS).</translation>
    </message>
    <message>
        <source>サーバーの証明書またはホスト鍵が信頼されていないため、接続しませんでした。</source>
        <translation>Not connected: the server&apos;s certificate or host key is not trusted.</translation>
    </message>
</context>
<context>
    <name>Ftp</name>
    <message>
        <source>セッションは開かれていません。</source>
        <translation>No session is open.</translation>
    </message>
    <message>
        <source>%1ﾊﾞｲﾄ ｱｯﾌﾟﾛｰﾄﾞ完了</source>
        <translation>%1 bytes uploaded</translation>
    </message>
    <message>
        <source>%1ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了</source>
        <translation>%1 bytes downloaded</translation>
    </message>
    <message>
        <source>ｿｹｯﾄｱﾄﾞﾚｽ%1に接続中</source>
        <translation>Connecting to %1</translation>
    </message>
    <message>
        <source>ｿｹｯﾄｱﾄﾞﾚｽ%1に接続完了</source>
        <translation>Connected to %1</translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰからの応答を待っています。</source>
        <translation>Waiting for the server&apos;s reply.</translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰからの接続を閉じました。</source>
        <translation>Closed the connection from the server.</translation>
    </message>
    <message>
        <source>不正なﾌｧｲﾙ名を%1件無視しました</source>
        <translation>Ignored %1 invalid file name(s)</translation>
    </message>
    <message>
        <source>他のﾌﾟﾛｾｽがﾌｧｲﾙを使用中</source>
        <translation>Another process is using the file</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞが空でない</source>
        <translation>The folder is not empty</translation>
    </message>
    <message>
        <source>InternetOpen成功</source>
        <translation>InternetOpen succeeded</translation>
    </message>
    <message>
        <source>コールバックを設定できません。</source>
        <translation>Cannot set the callback.</translation>
    </message>
    <message>
        <source>InternetConnect失敗</source>
        <translation>InternetConnect failed</translation>
    </message>
    <message>
        <source>既に接続中です&lt;%1&gt;
先にCloseしてください</source>
        <translation>Already connected &lt;%1&gt;
Close it first</translation>
    </message>
    <message>
        <source>セッションを閉じました。</source>
        <translation>The session was closed.</translation>
    </message>
    <message>
        <source>&lt;%1&gt;へ接続しました</source>
        <translation>Connected to &lt;%1&gt;</translation>
    </message>
    <message>
        <source>&lt;%1&gt;へ接続しました (%2で暗号化)</source>
        <translation>Connected to &lt;%1&gt; (encrypted with %2)</translation>
    </message>
    <message>
        <source>InternetCloseHandle失敗</source>
        <translation>InternetCloseHandle failed</translation>
    </message>
    <message>
        <source>セッションを閉じました</source>
        <translation>The session was closed</translation>
    </message>
    <message>
        <source>「%1」には%2で表せない文字があるため使えません。</source>
        <translation>&quot;%1&quot; cannot be used: it has characters that %2 cannot represent.</translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰの文字ｺｰﾄﾞ(Shift_JIS)</source>
        <translation>the server&apos;s encoding (Shift_JIS)</translation>
    </message>
    <message>
        <source>FtpDeleteFile失敗</source>
        <translation>FtpDeleteFile failed</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞは既に存在します。</source>
        <translation>The folder already exists.</translation>
    </message>
    <message>
        <source>FtpCreateDirectory失敗</source>
        <translation>FtpCreateDirectory failed</translation>
    </message>
    <message>
        <source>CreateDirectory失敗</source>
        <translation>CreateDirectory failed</translation>
    </message>
    <message>
        <source>FtpRemoveDirectory失敗</source>
        <translation>FtpRemoveDirectory failed</translation>
    </message>
    <message>
        <source>RemoveDirectory失敗</source>
        <translation>RemoveDirectory failed</translation>
    </message>
    <message>
        <source>FtpSetCurrentDirectory失敗</source>
        <translation>FtpSetCurrentDirectory failed</translation>
    </message>
    <message>
        <source>SetCurrentDirectory失敗</source>
        <translation>SetCurrentDirectory failed</translation>
    </message>
    <message>
        <source>FtpGetCurrentDirectory失敗</source>
        <translation>FtpGetCurrentDirectory failed</translation>
    </message>
    <message>
        <source>FtpRenameFile失敗</source>
        <translation>FtpRenameFile failed</translation>
    </message>
    <message>
        <source>RenameFile失敗</source>
        <translation>RenameFile failed</translation>
    </message>
    <message>
        <source>FindFirst失敗</source>
        <translation>FindFirst failed</translation>
    </message>
    <message>
        <source>InternetFindNextFile失敗</source>
        <translation>InternetFindNextFile failed</translation>
    </message>
    <message>
        <source>転送モードをASCIIにしました</source>
        <translation>Transfer mode set to ASCII</translation>
    </message>
    <message>
        <source>転送モードをバイナリにしました</source>
        <translation>Transfer mode set to binary</translation>
    </message>
    <message>
        <source>ﾊﾟﾗﾒｰﾀが間違っています。</source>
        <translation>The parameter is incorrect.</translation>
    </message>
    <message>
        <source>%1 が見つかりませんでした</source>
        <translation>%1 was not found</translation>
    </message>
    <message>
        <source>FtpPutFile失敗</source>
        <translation>FtpPutFile failed</translation>
    </message>
    <message>
        <source>FtpGetFile失敗</source>
        <translation>FtpGetFile failed</translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰがRESTを受け付けないため、途中からの再開をやめました</source>
        <translation>The server refuses REST, so the transfer is not resumed</translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰがMFMTを受け付けないため、ｻｰﾊﾞｰのﾌｧｲﾙ時刻を合わせません</source>
        <translation>The server refuses MFMT, so the server file times are not set</translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰがMDTMを受け付けないため、ﾌｧｲﾙ時刻を合わせません</source>
        <translation>The server refuses MDTM, so the file times are not set</translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰが上書きﾘﾈｰﾑを受け付けないため、古いﾌｧｲﾙを削除してからﾘﾈｰﾑします</source>
        <translation>The server refuses renames over a file, so the old file is deleted before the rename</translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰに一時ﾌｧｲﾙを作れないため、直接ｱｯﾌﾟﾛｰﾄﾞします</source>
        <translation>No temporary file can be made on the server, so the file is uploaded directly</translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰのｻｲｽﾞが送信ﾊﾞｲﾄ数と一致しません (%1 / %2)</source>
        <translation>The size on the server differs from the bytes sent (%1 / %2)</translation>
    </message>
    <message>
        <source>この接続ではASCIIﾓｰﾄﾞは使えません。ﾌｧｲﾙはそのまま転送します</source>
        <translation>ASCII mode does not apply to this connection; files are transferred as they are</translation>
    </message>
    <message>
        <source>ｻｰﾊﾞｰとの接続が切れ、再接続できなかったため転送を中止しました。</source>
        <translation>The connection to the server was lost and could not be made again: the transfer has been stopped.</translation>
    </message>
</context>
<context>
    <name>HistoryForm</name>
    <message>
        <source>時刻</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>方向</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ</source>
        <translation>File</translation>
    </message>
    <message>
        <source>ｻｲｽﾞ</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>所要時間</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>結果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>実行</source>
        <translation>Pass</translation>
    </message>
    <message>
        <source>失敗のみ</source>
        <translation>Failures only</translation>
    </message>
    <message>
        <source>ｺﾋﾟｰ</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>閉じる</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>履歴</source>
        <translation>History</translation>
    </message>
    <message>
        <source>%1件 (失敗 %2件)</source>
        <translation>%1 entries (%2 failed)</translation>
    </message>
</context>
<context>
    <name>HostForm</name>
    <message>
        <source>ホストが指定されていません。</source>
        <translation>No host is selected.</translation>
    </message>
    <message>
        <source>設定</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>ホスト一覧</source>
        <translation>Hosts</translation>
    </message>
    <message>
        <source>ホスト名</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>ユーザー名</source>
        <translation>User</translation>
    </message>
    <message>
        <source>指定のホストに設定してもいいですか？</source>
        <translation>Use the selected host?</translation>
    </message>
    <message>
        <source>指定のホストを削除してもいいですか？</source>
        <translation>Delete the selected host?</translation>
    </message>
    <message>
        <source>ｷｰﾘﾝｸﾞがないため、ﾊﾟｽﾜｰﾄﾞは難読化しただけでﾌｧｲﾙに保存されます。</source>
        <translation>No keyring: passwords are stored in the file, only obfuscated.</translation>
    </message>
</context>
<context>
    <name>MainForm</name>
    <message>
        <source>ホスト再接続に失敗しました。</source>
        <translation>Reconnecting to the host failed.</translation>
    </message>
    <message>
        <source>ﾛｰｶﾙのﾌｧｲﾙ数がﾎｽﾄより多いです。</source>
        <translation>There are more local files than on the host.</translation>
    </message>
    <message>
        <source>自動Upに失敗しました。</source>
        <translation>The automatic upload failed.</translation>
    </message>
    <message>
        <source>処理を中断しました。</source>
        <translation>The operation was aborted.</translation>
    </message>
    <message>
        <source>これから「AutoDownloadDaemon」に入ります。

終了するにはポップアップフォームのキャンセルを押して下さい。

※重要：実行前にローカル側、ホスト側のディレクトリを必ず確認して下さい。
危険を承知で実行するには「はい」を取りやめるには「いいえ」を押して下さい!</source>
        <translation>Entering &quot;AutoDownloadDaemon&quot; now.

To end it, press Cancel in the pop-up window.

* Important: check the local and the host folders before you start.
Press &quot;Yes&quot; to run it knowing the risk, or &quot;No&quot; to give up!</translation>
    </message>
    <message>
        <source>これから「AutoUploadDaemon」に入ります。

終了するにはポップアップフォームのキャンセルを押して下さい。

※重要：実行前にローカル側、ホスト側のディレクトリを必ず確認して下さい。
危険を承知で実行するには「はい」を取りやめるには「いいえ」を押して下さい!

注意：追加ファイルのアップロードには対応していません。</source>
        <translation>Entering &quot;AutoUploadDaemon&quot; now.

To end it, press Cancel in the pop-up window.

* Important: check the local and the host folders before you start.
Press &quot;Yes&quot; to run it knowing the risk, or &quot;No&quot; to give up!

Note: files added later are not uploaded.</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞ名を入力して下さい。</source>
        <translation>Enter the folder name.</translation>
    </message>
    <message>
        <source>新しいﾌｧｲﾙ名に変更して下さい。</source>
        <translation>Enter the new file name.</translation>
    </message>
    <message>
        <source>ﾛｰｶﾙﾌｫﾙﾀﾞを作成</source>
        <translation>New local folder</translation>
    </message>
    <message>
        <source>ﾘﾓｰﾄﾌｫﾙﾀﾞを作成</source>
        <translation>New remote folder</translation>
    </message>
    <message>
        <source>ﾛｰｶﾙﾌｧｲﾙ名変更</source>
        <translation>Rename local file</translation>
    </message>
    <message>
        <source>ﾘﾓｰﾄﾌｧｲﾙ名変更</source>
        <translation>Rename remote file</translation>
    </message>
    <message>
        <source>削除を実行してもいいですか？
元には戻せません</source>
        <translation>Delete now?
This cannot be undone</translation>
    </message>
    <message>
        <source>削除を実行してもいいですか？
元には戻せません
(※ｻﾌﾞﾌｫﾙﾀﾞは削除できません。)</source>
        <translation>Delete now?
This cannot be undone
(* subfolders cannot be deleted.)</translation>
    </message>
    <message>
        <source>%1
を読み込めなかったため、ホスト一覧を保存しませんでした。
このファイルは読み込めるようになるまでそのまま残します。

新しいホスト一覧を作成して置き換えますか？
(元のファイルに登録されたホストは失われます)</source>
        <translation>%1
could not be read, so the host list was not saved.
The file is left as it is until it can be read.

Create a new host list to replace it?
(the hosts stored in the old file will be lost)</translation>
    </message>
    <message>
        <source>指定のホストは現在使用中ですので
削除できませんでした。</source>
        <translation>The selected host is in use
and could not be deleted.</translation>
    </message>
    <message>
        <source>ホスト名を入力して下さい。</source>
        <translation>Enter the host name.</translation>
    </message>
    <message>
        <source>ユーザー名を入力して下さい。</source>
        <translation>Enter the user name.</translation>
    </message>
    <message>
        <source>パスワードを入力して下さい。</source>
        <translation>Enter the password.</translation>
    </message>
    <message>
        <source>ﾎｽﾄがｵｰﾌﾟﾝできませんでした。</source>
        <translation>Could not open the host.</translation>
    </message>
    <message>
        <source>続行できません。</source>
        <translation>Cannot continue.</translation>
    </message>
    <message>
        <source>ｼﾝﾌﾟﾙｱﾌﾟﾛｰﾄﾞ</source>
        <translation>Simple upload</translation>
    </message>
    <message>
        <source>ダウンロード</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>終了</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>一つ上のﾌｫﾙﾀﾞに上がる</source>
        <translation>Up one folder</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞｵｰﾌﾟﾝ</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>ホスト一覧</source>
        <translation>Hosts</translation>
    </message>
    <message>
        <source>接続</source>
        <translation>Connect</translation>
    </message>
    <message>
        <source>切断</source>
        <translation>Disconnect</translation>
    </message>
    <message>
        <source>自動UP</source>
        <translation>Auto UP</translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞ</source>
        <translation>Loop upload</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙからﾌｫﾙﾀﾞｵｰﾌﾟﾝ</source>
        <translation>Open folder from a file</translation>
    </message>
    <message>
        <source>全ｱﾌﾟﾛｰﾄﾞ</source>
        <translation>Upload all</translation>
    </message>
    <message>
        <source>ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙの削除</source>
        <translation>Delete backup files</translation>
    </message>
    <message>
        <source>ホスト名</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>ユーザー名</source>
        <translation>User</translation>
    </message>
    <message>
        <source>パスワード</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>対象</source>
        <translation>Target</translation>
    </message>
    <message>
        <source>全て</source>
        <translation>All</translation>
    </message>
    <message>
        <source>自動UPﾀｲﾏｰ(秒)</source>
        <translation>Auto UP (s)</translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟUPﾀｲﾏｰ(秒)</source>
        <translation>Loop UP (s)</translation>
    </message>
    <message>
        <source>ｽﾚｯﾄﾞ使用</source>
        <translation>Thread</translation>
    </message>
    <message>
        <source>ｻﾌﾞﾌｫﾙﾀﾞ含む</source>
        <translation>Subfolders</translation>
    </message>
    <message>
        <source>名前</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>更新日時</source>
        <translation>Modified</translation>
    </message>
    <message>
        <source>ｻｲｽﾞ</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙのあるﾌｫﾙﾀﾞｵｰﾌﾟﾝ</source>
        <translation>Open the folder of a file</translation>
    </message>
    <message>
        <source>ﾋﾟﾘｵﾄﾞﾀﾞｳﾝ</source>
        <translation>Periodic DL</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞ作成</source>
        <translation>New folder</translation>
    </message>
    <message>
        <source>名前変更</source>
        <translation>Rename</translation>
    </message>
    <message>
        <source>削除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>ホストに接続中です。
切断して終了してもいいですか？</source>
        <translation>Connected to a host.
Disconnect and quit?</translation>
    </message>
    <message>
        <source>%1ｱｯﾌﾟﾛｰﾄﾞ %2</source>
        <translation>%1 upload %2</translation>
    </message>
    <message>
        <source>%1ﾀﾞｳﾝﾛｰﾄﾞ %2</source>
        <translation>%1 download %2</translation>
    </message>
    <message>
        <source>%1
が見つかりませんでした。</source>
        <translation>%1
was not found.</translation>
    </message>
    <message>
        <source>%1個のﾊﾞｯｸｱｯﾌﾟﾃﾞｰﾀﾍﾞｰｽを削除しました。</source>
        <translation>Deleted %1 backup file(s).</translation>
    </message>
    <message>
        <source>ﾊﾞｯｸｱｯﾌﾟﾛｸﾞﾌｧｲﾙを削除してもいいですか ?</source>
        <translation>Delete the backup log files?</translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟUPﾀｲﾏｰが設定されています。
ここからはﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞはできませんでご注意下さい。
ﾙｰﾌﾟｱﾌﾟﾛｰﾄﾞは隣の腕時計のｺﾏﾝﾄﾎﾞﾀﾝから実行できます。
(※このﾒｯｾｰｼﾞを止めたい場合は、ﾙｰﾌﾟﾀｲﾏｰを 0 に設定して下さい。)

ｼﾝﾌﾟﾙｱｯﾌﾟﾛｰﾄﾞを実行しますか？</source>
        <translation>A loop upload timer is set.
Note that a loop upload cannot be started from here.
Start the loop upload with the clock button next to it.
(* to stop this message, set the loop timer to 0.)

Run a simple upload?</translation>
    </message>
    <message>
        <source>ダウンロードを実行しますか？
(※ｻﾌﾞﾌｫﾙﾀﾞはﾀﾞｳﾝﾛｰﾄﾞできません。)</source>
        <translation>Download now?
(* subfolders cannot be downloaded.)</translation>
    </message>
    <message>
        <source>全再アップロードを実行しますか？</source>
        <translation>Upload everything again?</translation>
    </message>
    <message>
        <source>ループアプロードを実行しますか？</source>
        <translation>Start the loop upload?</translation>
    </message>
    <message>
        <source>%1 秒経過すると自動的に
再アプロードします。       </source>
        <translation>Uploading again automatically
in %1 seconds.       </translation>
    </message>
    <message>
        <source>再アプロード</source>
        <translation>Upload again</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>.vexmoraignore を読めません。組込みの除外ﾙｰﾙだけを使います。</source>
        <translation>Cannot read .vexmoraignore. Only the built-in exclusion rules are used.</translation>
    </message>
    <message>
        <source>監視できないﾌｫﾙﾀﾞがあります (fs.inotify.max_user_watches の上限など)。それらのﾌｫﾙﾀﾞは順に読み直して確かめます。</source>
        <translation>Some folders cannot be watched (the limit fs.inotify.max_user_watches, for example). Those folders are read again in turn.</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞを読めません: %1 (%2)</source>
        <translation>Cannot read the folder: %1 (%2)</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙへのﾘﾝｸ: %1</source>
        <translation>Link to a file: %1</translation>
    </message>
    <message>
        <source>ｷｰﾘﾝｸﾞにﾊﾟｽﾜｰﾄﾞを保存できませんでした。</source>
        <translation>The password could not be stored in the keyring.</translation>
    </message>
    <message>
        <source>%1@%2 のパスワードを入力して下さい。</source>
        <translation>Enter the password of %1@%2.</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞの選択</source>
        <translation>Choose a folder</translation>
    </message>
    <message>
        <source>自動UPは、今のﾛｰｶﾙとﾘﾓｰﾄのﾌｫﾙﾀﾞでｱｯﾌﾟﾛｰﾄﾞを行うと使えるようになります。
(ﾌｫﾙﾀﾞを移動すると、そこでｱｯﾌﾟﾛｰﾄﾞを行うまで使えません)</source>
        <translation>Auto upload becomes available after an upload in the current local and remote folders.
(After a folder change, upload there first.)</translation>
    </message>
    <message>
        <source>ﾌｫﾙﾀﾞを移動したため、自動UPはこのﾌｫﾙﾀﾞでｱｯﾌﾟﾛｰﾄﾞを行うまで使えません。</source>
        <translation>The folder changed: auto upload is available after an upload in this folder.</translation>
    </message>
    <message>
        <source>ダウンロードを実行しますか？</source>
        <translation>Download the selection?</translation>
    </message>
    <message>
        <source>履歴</source>
        <translation>History</translation>
    </message>
    <message>
        <source>ﾛｸﾞﾌｧｲﾙに書き込めません。
%1
(%2)</source>
        <translation>Cannot write the log file.
%1
(%2)</translation>
    </message>
    <message>
        <source>%1
他 %2 件</source>
        <translation>%1
and %2 more</translation>
    </message>
    <message>
        <source>自動UPの送信に失敗しました</source>
        <translation>Auto upload failed</translation>
    </message>
    <message>
        <source>ホストとの接続が切れました</source>
        <translation>The connection to the host was lost</translation>
    </message>
    <message>
        <source>自動UPの送信が回復しました</source>
        <translation>Auto upload works again</translation>
    </message>
    <message>
        <source>失敗していたﾌｧｲﾙを送信しました。</source>
        <translation>The files that had failed were sent.</translation>
    </message>
</context>
<context>
    <name>MainFormIcon</name>
    <message>
        <source>接</source>
        <translation>C</translation>
    </message>
    <message>
        <source>断</source>
        <translation>D</translation>
    </message>
    <message>
        <source>自</source>
        <translation>A</translation>
    </message>
    <message>
        <source>全</source>
        <translation>R</translation>
    </message>
</context>
<context>
    <name>MainFormModeButton</name>
    <message>
        <source>手動UP</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>自動UP</source>
        <translation>Auto</translation>
    </message>
</context>
<context>
    <name>Model</name>
    <message>
        <source>入力データが空です。</source>
        <translation>The input is empty.</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ数=%1 (Dir=%2)</source>
        <translation>Files=%1 (Dir=%2)</translation>
    </message>
    <message>
        <source>ﾌｧｲﾙ数=%1</source>
        <translation>Files=%1</translation>
    </message>
    <message>
        <source>登録できるホストは %1 個までです。
不要なホストを削除して下さい。</source>
        <translation>Up to %1 hosts can be stored.
Delete the hosts you no longer need.</translation>
    </message>
    <message>
        <source>%1
を開けませんでした。</source>
        <translation>%1
could not be opened.</translation>
    </message>
    <message>
        <source>扱えるﾌｧｲﾙ数は %1 までです。</source>
        <translation>Up to %1 files can be handled.</translation>
    </message>
    <message>
        <source>%1秒</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>手動</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>自動UP #%1</source>
        <translation>Auto UP #%1</translation>
    </message>
    <message>
        <source>ﾃﾞｰﾓﾝ #%1</source>
        <translation>Daemon #%1</translation>
    </message>
    <message>
        <source>ﾙｰﾌﾟUP #%1</source>
        <translation>Loop UP #%1</translation>
    </message>
    <message>
        <source>ｱｯﾌﾟﾛｰﾄﾞ</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>ﾀﾞｳﾝﾛｰﾄﾞ</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>成功</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>失敗: %1</source>
        <translation>Failed: %1</translation>
    </message>
</context>
<context>
    <name>MssgForm</name>
    <message>
        <source>メッセージフォーム</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>残り %1秒</source>
        <translation>%1 s left</translation>
    </message>
</context>
<context>
    <name>SingleAutoUpForm</name>
    <message>
        <source>起動回数</source>
        <translation>Runs</translation>
    </message>
    <message>
        <source>自動ｱﾌﾟﾛｰﾄﾞ監視中</source>
        <translation>Watching for uploads</translation>
    </message>
    <message>
        <source>起動回数：%1</source>
        <translation>Runs: %1</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <source>Mutexの作成に失敗しました。</source>
        <translation>Creating the mutex failed.</translation>
    </message>
    <message>
        <source>Vexmora はすでに起動されています。
複数起動を行いますか？</source>
        <translation>Vexmora is already running.
Start another copy?</translation>
    </message>
</context>
<context>
    <name>TrayIcon</name>
    <message>
        <source>ﾒｲﾝ画面を表示</source>
        <translation>Show the main window</translation>
    </message>
    <message>
        <source>履歴</source>
        <translation>History</translation>
    </message>
    <message>
        <source>自動UPを停止</source>
        <translation>Stop Auto UP</translation>
    </message>
    <message>
        <source>Vexmora - 自動UP 監視中</source>
        <translation>Vexmora - Auto UP watching</translation>
    </message>
    <message>
        <source>Vexmora - 自動UP 送信中</source>
        <translation>Vexmora - Auto UP sending</translation>
    </message>
    <message>
        <source>Vexmora - 自動UP 失敗あり</source>
        <translation>Vexmora - Auto UP has failures</translation>
    </message>
</context>
<context>
    <name>Trust</name>
    <message>
        <source>証明書を検証できません</source>
        <translation>The certificate cannot be verified</translation>
    </message>
    <message>
        <source>自己署名の証明書です</source>
        <translation>The certificate is self-signed</translation>
    </message>
    <message>
        <source>発行元を確認できません</source>
        <translation>The issuer cannot be verified</translation>
    </message>
    <message>
        <source>有効期限が切れています</source>
        <translation>The certificate has expired</translation>
    </message>
    <message>
        <source>まだ有効になっていません</source>
        <translation>The certificate is not valid yet</translation>
    </message>
    <message>
        <source>ホスト名が証明書と一致しません</source>
        <translation>The host name does not match the certificate</translation>
    </message>
    <message>
        <source>警告: %1 の証明書が、以前に信頼した証明書と異なります。
第三者が通信に割り込んでいる可能性があります。

信頼した証明書の SHA-256 指紋:
%2</source>
        <translation>Warning: the certificate of %1 differs from the one you trusted before.
Someone may be intercepting the connection.

SHA-256 fingerprint of the trusted certificate:
%2</translation>
    </message>
    <message>
        <source>サーバーの証明書を確認できませんでした。

ホスト: %1
理由: %2
発行先: %3
発行者: %4
有効期間: %5 ～ %6
SHA-256 指紋:
%7

この証明書を信頼して接続しますか?</source>
        <translation>The server&apos;s certificate could not be verified.

Host: %1
Reason: %2
Issued to: %3
Issued by: %4
Valid: %5 to %6
SHA-256 fingerprint:
%7

Trust this certificate and connect?</translation>
    </message>
    <message>
        <source>%1
を読み込めなかったため、信頼した証明書を保存しませんでした。
このファイルは読み込めるようになるまでそのまま残します。

新しいファイルを作成して置き換えますか？
(元のファイルに記録された証明書は失われます)</source>
        <translation>%1
could not be read, so the trusted certificate was not saved.
The file is left as it is until it can be read.

Create a new file to replace it?
(the certificates recorded in the old file will be lost)</translation>
    </message>
    <message>
        <source>信頼した証明書を保存できませんでした。</source>
        <translation>Could not save the trusted certificate.</translation>
    </message>
    <message>
        <source>警告: %1 のホスト鍵が、登録されている鍵と異なります。
第三者が通信に割り込んでいる可能性があるため、接続しませんでした。

登録されている鍵の指紋:
%2
サーバーが示した鍵 (%3) の指紋:
%4</source>
        <translation>Warning: the host key of %1 differs from the key on record.
Someone may be intercepting the connection, so it was not made.

Fingerprint of the key on record:
%2
Fingerprint of the key the server showed (%3):
%4</translation>
    </message>
    <message>
        <source>ホスト %1 の鍵は登録されていません。

鍵の種類: %2
指紋: %3

この鍵を信頼して接続しますか?</source>
        <translation>The key of host %1 is not on record.

Key type: %2
Fingerprint: %3

Trust this key and connect?</translation>
    </message>
    <message>
        <source>鍵 %1 のパスフレーズを入力してください</source>
        <translation>Enter the passphrase of the key %1</translation>
    </message>
</context>
<context>
    <name>UpDownLoadForm</name>
    <message>
        <source>ｱｯﾌﾟﾛｰﾄﾞ</source>
        <translation>Upload</translation>
    </message>
    <message>
        <source>ﾀﾞｳﾝﾛｰﾄﾞ</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>AutoDown監視</source>
        <translation>AutoDown watch</translation>
    </message>
    <message>
        <source>AutoUP監視</source>
        <translation>AutoUP watch</translation>
    </message>
    <message>
        <source>キャンセル</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>
%1中です。
中断するにはｷｬﾝｾﾙﾎﾞﾀﾝを押して下さい。</source>
        <translation>
%1 in progress.
Press Cancel to stop.</translation>
    </message>
    <message>
        <source>
ﾌｧｲﾙ削除中です。
中断するにはｷｬﾝｾﾙﾎﾞﾀﾝを押して下さい。</source>
        <translation>
Deleting files.
Press Cancel to stop.</translation>
    </message>
    <message>
        <source>削除 (%1/%2)</source>
        <translation>Delete (%1/%2)</translation>
    </message>
    <message>
        <source>正常終了</source>
        <translation>Completed</translation>
    </message>
    <message>
        <source>ｷｬﾝｾﾙ終了</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>強制終了</source>
        <translation>Aborted</translation>
    </message>
    <message>
        <source>キャンセル中</source>
        <translation>Cancelling</translation>
    </message>
</context>
</TS>
