-- The twelve procedures the desktop program calls by name, and their helpers. Parameter names are the
-- program's own spellings; the program matches them without regard to case. A procedure whose
-- parameters change must be dropped here first (CREATE OR REPLACE cannot change them).

-- Names go back to the program inside plain-text records: the reply separators are taken out however
-- they were typed, so a name can never shift a record's fields.
CREATE OR REPLACE FUNCTION zp_clean_text(t text) RETURNS text
LANGUAGE plpgsql IMMUTABLE SET search_path = public, pg_temp AS $$
DECLARE
    cleaned text := coalesce(t, '');
    previous text;
BEGIN
    LOOP
        previous := cleaned;
        cleaned := replace(replace(replace(cleaned, '%!', ''), '@~', ''), '@!', '');
        EXIT WHEN cleaned = previous;
    END LOOP;
    RETURN cleaned;
END $$;

-- The name a member is kept under: the cleaned name before any "[", its last 49 characters, made unique
-- on the server with "(n)" (a bracketed number would be cut off again by the program).
CREATE OR REPLACE FUNCTION zp_member_name(wanted text, self_id integer) RETURNS text
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
DECLARE
    base text := right(split_part(zp_clean_text(wanted), '[', 1), 49);
    candidate text;
    n integer;
BEGIN
    IF base = '' THEN
        RAISE EXCEPTION '成员名为空白，不能保存。' USING ERRCODE = '22023';
    END IF;
    IF NOT EXISTS (SELECT 1 FROM members WHERE filial = base AND filial_id <> coalesce(self_id, 0)) THEN
        RETURN base;
    END IF;
    SELECT coalesce(max(substr(filial, length(base) + 2, length(filial) - length(base) - 2)::integer), 1) + 1
      INTO n
      FROM members
     WHERE left(filial, length(base) + 1) = base || '('
       AND substr(filial, length(base) + 2) ~ '^[0-9]{1,9}\)$'
       AND filial_id <> coalesce(self_id, 0);
    LOOP
        candidate := right(base || '(' || n || ')', 49);
        EXIT WHEN NOT EXISTS (SELECT 1 FROM members WHERE filial = candidate AND filial_id <> coalesce(self_id, 0));
        n := n + 1;
    END LOOP;
    RETURN candidate;
END $$;

-- Whether viewer may see what creator uploaded: his own, an open account's, or one of his association's
-- when the creator opened his data to it.
CREATE OR REPLACE FUNCTION zp_visible(creator integer, viewer integer) RETURNS boolean
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT creator = viewer OR EXISTS (
        SELECT 1 FROM accounts c LEFT JOIN accounts v ON v.acc_id = viewer
         WHERE c.acc_id = creator
           AND (c.open_level = 1
                OR (c.open_level = 2 AND c.group_id > 0 AND c.group_state = 0
                    AND v.group_id = c.group_id AND v.group_state = 0)))
$$;

-- Whether target lies on the father line that starts at start_id (start_id itself included).
CREATE OR REPLACE FUNCTION zp_in_line(start_id integer, target integer) RETURNS boolean
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    WITH RECURSIVE up(id) AS (
        SELECT start_id
        UNION
        SELECT m.father_id FROM members m JOIN up ON m.filial_id = up.id WHERE m.father_id IS NOT NULL)
    SELECT EXISTS (SELECT 1 FROM up WHERE id = target)
$$;

-- The member a father's name stands for. A name the server keeps a member under is that member, taken
-- exactly as it is: the program names every father the server holds so. Any other name is one a book
-- gave a father not on the server yet, and stands for the account's one member sent under it; two such
-- members, or none, leave the father unknown rather than guessed. Never a member that would close a
-- loop.
CREATE OR REPLACE FUNCTION zp_resolve_father(father_name text, acc integer, self_id integer) RETURNS integer
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
DECLARE
    found_id integer;
    sent_as integer;
BEGIN
    IF coalesce(father_name, '') = '' THEN
        RETURN NULL;
    END IF;
    SELECT filial_id INTO found_id FROM members
     WHERE filial = father_name AND filial_id <> coalesce(self_id, 0);
    IF found_id IS NULL THEN
        SELECT min(filial_id), count(*) INTO found_id, sent_as FROM members
         WHERE myacc_id = acc AND sent_name = father_name AND filial_id <> coalesce(self_id, 0);
        IF sent_as <> 1 THEN
            found_id := NULL;
        END IF;
    END IF;
    IF found_id IS NOT NULL AND self_id IS NOT NULL AND zp_in_line(found_id, self_id) THEN
        RETURN NULL;
    END IF;
    RETURN found_id;
END $$;

-- Page texts and pictures follow the member's save in the same session: a member the session's account
-- may not change keeps them too.
CREATE OR REPLACE FUNCTION zp_may_change(creator integer, protection integer) RETURNS boolean
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT protection NOT IN (1, 2)
        OR creator = coalesce(nullif(current_setting('qentara.acc_id', true), '')::integer, 0)
$$;

CREATE OR REPLACE PROCEDURE "sp_trylogon"(
    IN "@z_user_no" text, IN "@z_pswd" text, IN "@z_pswd2" text,
    INOUT "@z_right" integer, INOUT "@z_acc_id" integer, INOUT "@z_nick" text,
    INOUT "@z_state" integer, INOUT "@z_group_id" integer, IN "@z_logon_type" integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    account accounts%ROWTYPE;
    account_no text := coalesce("@z_user_no", '');
    pswd_digest text := coalesce("@z_pswd", '');
BEGIN
    SELECT * INTO account FROM accounts WHERE user_no = account_no;
    IF FOUND THEN
        -- Registering an existing account logs on with the right password, as logging on does.
        IF account.pswd_hash = crypt(pswd_digest, account.pswd_hash) THEN
            "@z_state" := 1;
        ELSE
            "@z_state" := 2;
        END IF;
    ELSIF "@z_logon_type" = 1 AND account_no <> '' THEN
        BEGIN
            INSERT INTO accounts (user_no, pswd_hash, pswd2_hash, nickname, open_level)
            VALUES (account_no, crypt(pswd_digest, gen_salt('bf', 8)),
                    crypt(coalesce("@z_pswd2", ''), gen_salt('bf', 8)),
                    btrim(zp_clean_text("@z_nick")),
                    CASE WHEN "@z_right" BETWEEN 0 AND 2 THEN "@z_right" ELSE 0 END)
            RETURNING * INTO account;
            "@z_state" := 3;
        EXCEPTION WHEN unique_violation THEN
            -- Another registration of the same number won the race: busy, try again.
            "@z_state" := 0;
        END;
    ELSE
        -- An unknown account costs the same time as a wrong password.
        PERFORM crypt(pswd_digest, gen_salt('bf', 8));
        "@z_state" := 2;
    END IF;

    IF "@z_state" IN (1, 3) THEN
        "@z_right" := account.open_level;
        "@z_acc_id" := account.acc_id;
        "@z_nick" := account.nickname;
        "@z_group_id" := CASE WHEN account.group_state = 0 THEN account.group_id ELSE 0 END;
    ELSE
        "@z_acc_id" := 0;
        "@z_group_id" := 0;
    END IF;
END $$;

CREATE OR REPLACE PROCEDURE "sp_savezpdata2"(
    IN "@z_accid" integer, INOUT "@z_filial_id" integer, IN "@z_father" text, IN "@z_mother" text,
    INOUT "@z_filial" text, IN "@z_Boy_Sex" boolean, IN "@z_boy_birthday" text, IN "@z_boy_active" boolean,
    IN "@z_boy_death" text, IN "@z_mother_birthday" text, IN "@z_mother_death" text,
    IN "@z_Mother_active" boolean, IN "@z_mother_folk" text, IN "@z_m_education" text,
    IN "@z_m_position" text, IN "@z_boy_folk" text, IN "@z_boy_education" text, IN "@z_boy_position" text,
    IN "@z_c_jc_w_z_h" text, IN "@z_boy_sort" integer, IN "@z_boy_right" integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    acc integer := coalesce("@z_accid", 0);
    sent text := right(split_part(zp_clean_text("@z_filial"), '[', 1), 49);
    father_name text := zp_clean_text("@z_father");
    existing members%ROWTYPE;
    saved_id integer;
BEGIN
    IF NOT EXISTS (SELECT 1 FROM accounts WHERE acc_id = acc) THEN
        RAISE EXCEPTION '帐号 % 不存在，不能上传。', acc USING ERRCODE = '22023';
    END IF;
    -- Later page-text and picture saves of this session are made on behalf of this account.
    PERFORM set_config('qentara.acc_id', acc::text, false);

    IF coalesce("@z_filial_id", 0) > 0 THEN
        SELECT * INTO existing FROM members WHERE filial_id = "@z_filial_id" FOR UPDATE;
    END IF;

    IF existing.filial_id IS NOT NULL THEN
        IF NOT zp_may_change(existing.myacc_id, existing.boy_right) THEN
            "@z_filial" := existing.filial;  -- protected by its creator: nothing changes
            RETURN;
        END IF;
        UPDATE members SET
            filial = CASE WHEN sent = existing.sent_name THEN existing.filial
                          ELSE zp_member_name(sent, existing.filial_id) END,
            sent_name = sent,
            father = father_name,
            father_id = zp_resolve_father(father_name, acc, existing.filial_id),
            mother = coalesce("@z_mother", ''),
            boy_sex = coalesce("@z_Boy_Sex", true),
            boy_birthday = coalesce("@z_boy_birthday", ''),
            boy_active = coalesce("@z_boy_active", true),
            boy_death = coalesce("@z_boy_death", ''),
            mother_birthday = coalesce("@z_mother_birthday", ''),
            mother_death = coalesce("@z_mother_death", ''),
            mother_active = coalesce("@z_Mother_active", true),
            mother_folk = coalesce("@z_mother_folk", ''),
            m_education = coalesce("@z_m_education", ''),
            m_position = coalesce("@z_m_position", ''),
            boy_folk = coalesce("@z_boy_folk", ''),
            boy_education = coalesce("@z_boy_education", ''),
            boy_position = coalesce("@z_boy_position", ''),
            c_jc_w_z_h = coalesce("@z_c_jc_w_z_h", ''),
            boy_sort = coalesce("@z_boy_sort", 0),
            -- Only the creator changes the protection.
            boy_right = CASE WHEN existing.myacc_id = acc THEN coalesce("@z_boy_right", 0) ELSE existing.boy_right END,
            updated = now()
        WHERE filial_id = existing.filial_id
        RETURNING filial_id, filial INTO saved_id, "@z_filial";
    ELSE
        -- Id 0, or an id the server no longer has: a new member created by this account.
        INSERT INTO members (filial, sent_name, father, father_id, myacc_id, mother, boy_sex, boy_birthday,
                             boy_active, boy_death, mother_birthday, mother_death, mother_active, mother_folk,
                             m_education, m_position, boy_folk, boy_education, boy_position, c_jc_w_z_h,
                             boy_sort, boy_right)
        VALUES (zp_member_name(sent, NULL), sent, father_name, zp_resolve_father(father_name, acc, NULL), acc,
                coalesce("@z_mother", ''), coalesce("@z_Boy_Sex", true), coalesce("@z_boy_birthday", ''),
                coalesce("@z_boy_active", true), coalesce("@z_boy_death", ''),
                coalesce("@z_mother_birthday", ''), coalesce("@z_mother_death", ''),
                coalesce("@z_Mother_active", true), coalesce("@z_mother_folk", ''),
                coalesce("@z_m_education", ''), coalesce("@z_m_position", ''), coalesce("@z_boy_folk", ''),
                coalesce("@z_boy_education", ''), coalesce("@z_boy_position", ''),
                coalesce("@z_c_jc_w_z_h", ''), coalesce("@z_boy_sort", 0), coalesce("@z_boy_right", 0))
        RETURNING filial_id, filial INTO saved_id, "@z_filial";
    END IF;

    -- Children of this account sent before their father now find him, by the name he is kept under or,
    -- while he is the account's only member sent under it, by the name his book gave him.
    UPDATE members c SET father_id = saved_id
     WHERE c.father_id IS NULL AND c.myacc_id = acc
       AND (c.father = "@z_filial"
            OR (c.father = sent AND NOT EXISTS (SELECT 1 FROM members o WHERE o.myacc_id = acc
                                                   AND o.sent_name = sent AND o.filial_id <> saved_id)))
       AND c.filial_id <> saved_id AND NOT zp_in_line(saved_id, c.filial_id);
    "@z_filial_id" := saved_id;
END $$;

-- The member a page text or picture is saved for: its id, or NULL when this session may not change it.
CREATE OR REPLACE FUNCTION zp_member_to_change(server_name text) RETURNS integer
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
DECLARE
    target members%ROWTYPE;
BEGIN
    SELECT * INTO target FROM members WHERE filial = server_name;
    IF NOT FOUND THEN
        RAISE EXCEPTION '服务器上没有成员“%”。', server_name USING ERRCODE = '22023';
    END IF;
    RETURN CASE WHEN zp_may_change(target.myacc_id, target.boy_right) THEN target.filial_id END;
END $$;

CREATE OR REPLACE PROCEDURE "sp_savestory"(IN "@z_filial" text, IN "@z_descript" text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    target_id integer := zp_member_to_change("@z_filial");
BEGIN
    IF target_id IS NOT NULL THEN
        INSERT INTO member_stories (filial_id, hisdescript) VALUES (target_id, coalesce("@z_descript", ''))
        ON CONFLICT (filial_id) DO UPDATE SET hisdescript = EXCLUDED.hisdescript;
    END IF;
END $$;

-- One picture or media item per call; an item with the same path replaces the earlier one.
CREATE OR REPLACE PROCEDURE "sp_saveimage"(IN "@z_filial" text, IN "@z_myimage" bytea, IN "@z_imgpath" text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    target_id integer := zp_member_to_change("@z_filial");
BEGIN
    IF target_id IS NOT NULL THEN
        INSERT INTO member_images (filial_id, imagepath, myimage)
        VALUES (target_id, coalesce("@z_imgpath", ''), coalesce("@z_myimage", ''::bytea))
        ON CONFLICT (filial_id, imagepath) DO UPDATE SET myimage = EXCLUDED.myimage;
    END IF;
END $$;

CREATE OR REPLACE PROCEDURE "sp_Getzpdata2"(
    INOUT "@z_filial_id" integer, INOUT "@z_filial" text, INOUT "@z_father" text, INOUT "@z_mother" text,
    INOUT "@z_boy_sex" boolean, INOUT "@z_boy_birthday" text, INOUT "@z_boy_active" boolean,
    INOUT "@z_boy_death" text, INOUT "@z_mother_birthday" text, INOUT "@z_mother_death" text,
    INOUT "@z_mother_active" boolean, INOUT "@z_mother_folk" text, INOUT "@z_m_education" text,
    INOUT "@z_m_position" text, INOUT "@z_boy_folk" text, INOUT "@z_boy_education" text,
    INOUT "@z_boy_position" text, INOUT "@z_C_jc_w_z_h" text, INOUT "@z_boy_sort" integer,
    INOUT "@z_boy_right" integer, INOUT "@z_myacc_id" integer)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    m members%ROWTYPE;
    father_now text;
BEGIN
    SELECT * INTO m FROM members WHERE filial_id = coalesce("@z_filial_id", 0);
    IF NOT FOUND THEN
        -- The server holds no such member: an id below 1, every other value empty.
        "@z_filial_id" := 0;
        m.filial := ''; m.father := ''; m.mother := ''; m.boy_sex := false; m.boy_birthday := '';
        m.boy_active := false; m.boy_death := ''; m.mother_birthday := ''; m.mother_death := '';
        m.mother_active := false; m.mother_folk := ''; m.m_education := ''; m.m_position := '';
        m.boy_folk := ''; m.boy_education := ''; m.boy_position := ''; m.c_jc_w_z_h := '';
        m.boy_sort := 0; m.boy_right := 0; m.myacc_id := 0;
    ELSE
        -- The father as the server links him; a member it links to nobody is a tree of its own.
        SELECT f.filial INTO father_now FROM members f WHERE f.filial_id = m.father_id;
        m.father := coalesce(father_now, '');
    END IF;
    "@z_filial" := m.filial;
    "@z_father" := m.father;
    "@z_mother" := m.mother;
    "@z_boy_sex" := m.boy_sex;
    "@z_boy_birthday" := m.boy_birthday;
    "@z_boy_active" := m.boy_active;
    "@z_boy_death" := m.boy_death;
    "@z_mother_birthday" := m.mother_birthday;
    "@z_mother_death" := m.mother_death;
    "@z_mother_active" := m.mother_active;
    "@z_mother_folk" := m.mother_folk;
    "@z_m_education" := m.m_education;
    "@z_m_position" := m.m_position;
    "@z_boy_folk" := m.boy_folk;
    "@z_boy_education" := m.boy_education;
    "@z_boy_position" := m.boy_position;
    "@z_C_jc_w_z_h" := m.c_jc_w_z_h;
    "@z_boy_sort" := m.boy_sort;
    "@z_boy_right" := m.boy_right;
    "@z_myacc_id" := m.myacc_id;
END $$;

CREATE OR REPLACE FUNCTION "sp_GetStory"("@z_filial" text) RETURNS TABLE ("Hisdescript" text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT s.hisdescript FROM member_stories s JOIN members m ON m.filial_id = s.filial_id
     WHERE m.filial = "@z_filial"
$$;

CREATE OR REPLACE FUNCTION "sp_GetImage"("@z_filial" text)
RETURNS TABLE (filial text, myimage bytea, imagepath text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT m.filial, i.myimage, i.imagepath FROM member_images i JOIN members m ON m.filial_id = i.filial_id
     WHERE m.filial = "@z_filial" ORDER BY i.image_id
$$;

-- The members of the tree under @myboy_id that the account may see, fathers before children. A member
-- hidden from the account hides its branch. The counts are -1 (the program's true) when there is a page
-- text, respectively a picture, else 0.
CREATE OR REPLACE FUNCTION "sp_GnSeekList2"("@myacc_id" integer, "@myboy_id" integer)
RETURNS TABLE (filial_id integer, storynum integer, imagenum integer)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    WITH RECURSIVE tree(id, depth) AS (
        SELECT m.filial_id, 0 FROM members m
         WHERE m.filial_id = "@myboy_id" AND zp_visible(m.myacc_id, "@myacc_id")
        UNION ALL
        SELECT c.filial_id, t.depth + 1 FROM members c JOIN tree t ON c.father_id = t.id
         WHERE zp_visible(c.myacc_id, "@myacc_id")
    ) CYCLE id SET looped USING visited
    SELECT t.id,
           CASE WHEN EXISTS (SELECT 1 FROM member_stories s WHERE s.filial_id = t.id) THEN -1 ELSE 0 END,
           CASE WHEN EXISTS (SELECT 1 FROM member_images i WHERE i.filial_id = t.id) THEN -1 ELSE 0 END
      FROM tree t WHERE NOT t.looped
     ORDER BY t.depth, t.id
$$;

-- Its page text and pictures go with it; its children become trees of their own.
CREATE OR REPLACE PROCEDURE "sp_deleteZpdata"(IN "@z_filial_id" integer)
LANGUAGE sql SECURITY DEFINER SET search_path = public, pg_temp AS $$
    DELETE FROM members WHERE filial_id = "@z_filial_id"
$$;

CREATE OR REPLACE FUNCTION "sp_GetGroupList"()
RETURNS TABLE (group_name text, group_sw integer, "Group_id" integer, group_creater text, group_num integer,
               group_script text)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT g.group_name, g.group_sw, g.group_id, coalesce(c.nickname, ''),
           (SELECT count(*)::integer FROM accounts a WHERE a.group_id = g.group_id AND a.group_state = 0),
           g.group_script
      FROM clan_groups g LEFT JOIN accounts c ON c.acc_id = g.creator_id
     ORDER BY g.group_id
$$;

-- Members and applicants (group_state 1) of one association; none for an id below 1.
CREATE OR REPLACE FUNCTION "sp_GetMemberList"("@z_curgroup_id" integer)
RETURNS TABLE ("NickName" text, "User_SW" integer, acc_id integer, position_id integer, lastgroup_id integer,
               group_state integer)
LANGUAGE sql STABLE SECURITY DEFINER SET search_path = public, pg_temp AS $$
    SELECT a.nickname, a.user_sw, a.acc_id, a.position_id, a.lastgroup_id, a.group_state
      FROM accounts a
     WHERE a.group_id = "@z_curgroup_id" AND "@z_curgroup_id" > 0
     ORDER BY a.group_state, a.position_id DESC, a.acc_id
$$;

-- Founds an association led by the account at position @z_maxp_id. @z_acc_id comes back as the new
-- association's id, or 0 when the account is unknown or already a member somewhere, or the name is
-- empty or taken; @z_group_name as the server keeps it.
CREATE OR REPLACE PROCEDURE "sp_CreateGroup"(
    INOUT "@z_acc_id" integer, IN "@z_maxp_id" integer, INOUT "@z_group_name" text)
LANGUAGE plpgsql SECURITY DEFINER SET search_path = public, pg_temp AS $$
DECLARE
    founder accounts%ROWTYPE;
    group_title text := btrim(zp_clean_text("@z_group_name"));
    new_id integer;
BEGIN
    "@z_group_name" := group_title;
    SELECT * INTO founder FROM accounts WHERE acc_id = coalesce("@z_acc_id", 0) FOR UPDATE;
    IF NOT FOUND OR group_title = '' OR (founder.group_id > 0 AND founder.group_state = 0) THEN
        "@z_acc_id" := 0;
        RETURN;
    END IF;
    BEGIN
        INSERT INTO clan_groups (group_name, creator_id) VALUES (group_title, founder.acc_id) RETURNING group_id INTO new_id;
    EXCEPTION WHEN unique_violation THEN
        "@z_acc_id" := 0;
        RETURN;
    END;
    UPDATE accounts SET group_id = new_id, group_state = 0, position_id = greatest(coalesce("@z_maxp_id", 1), 1)
     WHERE acc_id = founder.acc_id;
    "@z_acc_id" := new_id;
END $$;

REVOKE EXECUTE ON ALL ROUTINES IN SCHEMA public FROM PUBLIC;
GRANT EXECUTE ON ROUTINE "sp_trylogon", "sp_savezpdata2", "sp_savestory", "sp_saveimage", "sp_Getzpdata2",
    "sp_GetStory", "sp_GetImage", "sp_GnSeekList2", "sp_deleteZpdata", "sp_GetGroupList", "sp_GetMemberList",
    "sp_CreateGroup" TO qntzpsvr01;
